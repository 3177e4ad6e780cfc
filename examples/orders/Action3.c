#include "sqx.h"

/* Add two lines to the order and submit it. */
Action3()
{
    sqx_stmt(Csr6, "SELECT item_id, sku, unit_price, in_stock FROM items "
                   "WHERE sku IN ('AX-100', 'BX-220')", -1, 1, 0, 0);
    sqx_exec(Csr6, 0, 0);
    sqx_fetch(Csr6, 2, GRID(4));

    sqx_stmt(Csr7, "INSERT INTO order_lines (order_id, line_no, item_id, qty, price) "
                   "VALUES (:1, :2, :3, :4, :5)", -1, 1, 0, 0);
    sqx_assign_bind(Csr7, ":1", "900417", 0);
    sqx_assign_bind(Csr7, ":2", "1", 0);
    sqx_assign_bind(Csr7, ":3", "3301", 0);
    sqx_assign_bind(Csr7, ":4", "2", 0);
    sqx_assign_bind(Csr7, ":5", "12.50", 0);
    sqx_exec(Csr7, 0, 0);

    sqx_assign_bind(Csr7, ":1", "900417", 0);
    sqx_assign_bind(Csr7, ":2", "2", 0);
    sqx_assign_bind(Csr7, ":3", "3307", 0);
    sqx_assign_bind(Csr7, ":4", "10", 0);
    sqx_assign_bind(Csr7, ":5", "4.75", 0);
    sqx_exec(Csr7, 0, 0);

    sqx_stmt(Csr8, "UPDATE orders SET status = 'SUBMITTED', total = 72.50 "
                   "WHERE order_id = 900417 AND session_token = 'TK-8F3A21'", -1, 1, 0, 0);
    sqx_exec(Csr8, 0, 0);
    return 0;
}
