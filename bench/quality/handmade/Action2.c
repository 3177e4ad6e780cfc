#include "sqx.h"

/* Put two items in the basket: no discount, no gift wrap. */
Action2()
{
    sqx_stmt(Csr3, "SELECT item_id, price, discount, gift_wrap FROM items "
                   "WHERE category = 'BOOKS'", -1, 1, 0, 0);
    sqx_exec(Csr3, 0, 0);
    sqx_fetch(Csr3, 3, GRID(2));

    sqx_stmt(Csr4, "SELECT basket_seq.NEXTVAL FROM dual", -1, 1, 0, 0);
    sqx_exec(Csr4, 0, 0);
    sqx_fetch(Csr4, 1, GRID(3));

    sqx_stmt(Csr5, "INSERT INTO basket_lines (basket_id, item_id, price, discount, gift_wrap) "
                   "VALUES (:1, :2, :3, :4, :5)", -1, 1, 0, 0);
    sqx_assign_bind(Csr5, ":1", "77120", 0);
    sqx_assign_bind(Csr5, ":2", "3301", 0);
    sqx_assign_bind(Csr5, ":3", "12.50", 0);
    sqx_assign_bind(Csr5, ":4", "0", 0);
    sqx_assign_bind(Csr5, ":5", "N", 0);
    sqx_exec(Csr5, 0, 0);
    sqx_assign_bind(Csr5, ":1", "77120", 0);
    sqx_assign_bind(Csr5, ":2", "3307", 0);
    sqx_assign_bind(Csr5, ":3", "4.75", 0);
    sqx_assign_bind(Csr5, ":4", "0", 0);
    sqx_assign_bind(Csr5, ":5", "N", 0);
    sqx_exec(Csr5, 0, 0);
    return 0;
}
