#include "sqx.h"

/* Check out: the order is filed under the user and the session. */
Action3()
{
    sqx_stmt(Csr6, "INSERT INTO shop_orders (basket_id, user_id, session_guid, discount, gift_wrap) "
                   "VALUES (:1, :2, :3, :4, :5)", -1, 1, 0, 0);
    sqx_assign_bind(Csr6, ":1", "77120", 0);
    sqx_assign_bind(Csr6, ":2", "20417", 0);
    sqx_assign_bind(Csr6, ":3", "6F9619FF-8B86-D011-B42D-00C04FC964FF", 0);
    sqx_assign_bind(Csr6, ":4", "0", 0);
    sqx_assign_bind(Csr6, ":5", "N", 0);
    sqx_exec(Csr6, 0, 0);
    return 0;
}
