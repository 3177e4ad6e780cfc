Action()
{
	sqx_stmt(Csr1, "select id, name from t where id = 12 and name = 'it''s'", -1, 1, 0, 0);
	sqx_exec(Csr1, 0, 0);
	sqx_fetch(Csr1, 2, RECORDSET_XML 1);
	sqx_assign_bind(Csr2, ":1", "10473", 0);
	cmx_call(Csr2, "a \'TK-8F3A21\' b \'3301\'");
	VARIANT 3301;
	sqx_bind_placeholder(Csr3, ":1", Csr1);
	sqx_exec(Csr3, 0, 0);
}
