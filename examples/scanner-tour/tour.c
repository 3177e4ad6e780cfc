#include "sqx.h"

// sqx_assign(Csr0, "in a line comment", 0);
sqx_assign(Csr0, "outside any function", 0);

Action1()
{
    sqx_stmt(Csr1, "SELECT name FROM items WHERE price = -12.5 AND qty > 12. "
                   "AND rate < .5e-3 AND big = 1.5e3 AND id = :1 AND note = 'it''s'",
             -1, 1, 0, 0);
    sqx_assign_bind(Csr1, ":1", "K-77", 0);
    sqx_assign(Csr1, "say \"hi\"", 0);
    sqx_exec(Csr1, 0, 0);
    check(sqx_assign(Csr9, "nested call", 0));
    cmx_send(Con1, "user=\'ann\' pin=\'4711\'", 0);
    cmx_log(Con1, "plain text", 0);
    status = VARIANT OPEN;
    total = GRID12;
    return 0;
}
