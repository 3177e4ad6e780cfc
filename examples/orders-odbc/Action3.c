#include "sqx.h"

/* Add two lines to the order and submit it. */
Action3()
{
    sqx_stmt(Stmt1, "SELECT item_id, sku, unit_price, in_stock FROM items "
                    "WHERE sku IN ('AX-100', 'BX-220')", -1, 1, 0, 0);
    sqx_fetch(Stmt1, 2, GRID(4));

    sqx_stmt(Stmt1, "INSERT INTO order_lines (order_id, line_no, item_id, qty, price) "
                    "VALUES (?, ?, ?, ?, ?)", -1, 1, 0, 0);
    sqx_assign_bind(Stmt1, "1", "900417", 0);
    sqx_assign_bind(Stmt1, "2", "1", 0);
    sqx_assign_bind(Stmt1, "3", "3301", 0);
    sqx_assign_bind(Stmt1, "4", "2", 0);
    sqx_assign_bind(Stmt1, "5", "12.50", 0);

    sqx_stmt(Stmt2, "INSERT INTO order_lines (order_id, line_no, item_id, qty, price) "
                    "VALUES (?, ?, ?, ?, ?)", -1, 1, 0, 0);
    sqx_assign_bind(Stmt2, "1", "900417", 0);
    sqx_assign_bind(Stmt2, "2", "2", 0);
    sqx_assign_bind(Stmt2, "3", "3307", 0);
    sqx_assign_bind(Stmt2, "4", "10", 0);
    sqx_assign_bind(Stmt2, "5", "4.75", 0);

    sqx_stmt(Stmt1, "UPDATE orders SET status = 'SUBMITTED', total = 72.50 "
                    "WHERE order_id = 900417 AND session_token = 'TK-8F3A21'", -1, 1, 0, 0);
    return 0;
}
