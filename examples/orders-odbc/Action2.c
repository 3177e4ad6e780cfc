#include "sqx.h"

/* Find the customer by name, then open the customer's order. */
Action2()
{
    sqx_stmt(Stmt1, "SELECT cust_id, name, city, region FROM customers "
                    "WHERE name LIKE 'Hartmann%' AND region = 4 ORDER BY cust_id", -1, 1, 0, 0);
    sqx_fetch(Stmt1, 2, GRID(2));

    sqx_stmt(Stmt1, "SELECT order_id, status, clerk_id, total FROM orders "
                    "WHERE cust_id = 58821 AND status = 'OPEN'", -1, 1, 0, 0);
    sqx_fetch(Stmt1, 1, RECORDSET_XML(3));

    sqx_stmt(Stmt1, "UPDATE orders SET clerk_id = ?, opened_at = CURRENT_TIMESTAMP "
                    "WHERE order_id = ?", -1, 1, 0, 0);
    sqx_assign_bind(Stmt1, "1", "10473", 0);
    sqx_assign_bind(Stmt1, "2", "900417", 0);
    return 0;
}

/* RECORDSET 3
<xml xmlns:s="uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882"
	xmlns:dt="uuid:C2F41010-65B3-11d1-A29F-00AA00C14882"
	xmlns:rs="urn:schemas-microsoft-com:rowset"
	xmlns:z="#RowsetSchema">
<s:Schema id="RowsetSchema">
	<s:ElementType name="row" content="eltOnly">
		<s:AttributeType name="ORDER_ID" rs:number="1">
			<s:datatype dt:type="int" dt:maxLength="4"/>
		</s:AttributeType>
		<s:AttributeType name="STATUS" rs:number="2">
			<s:datatype dt:type="string" dt:maxLength="12"/>
		</s:AttributeType>
		<s:AttributeType name="CLERK_ID" rs:number="3" rs:nullable="true">
			<s:datatype dt:type="int" dt:maxLength="4"/>
		</s:AttributeType>
		<s:AttributeType name="TOTAL" rs:number="4">
			<s:datatype dt:type="number" dt:maxLength="19"/>
		</s:AttributeType>
		<s:extends type="rs:rowbase"/>
	</s:ElementType>
</s:Schema>
<rs:data>
	<z:row ORDER_ID="900417" STATUS="OPEN" TOTAL="0"/>
</rs:data>
</xml>
*/
