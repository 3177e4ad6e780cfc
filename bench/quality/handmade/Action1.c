#include "sqx.h"

/* Log in as anna; the server hands out the session GUID. */
Action1()
{
    sqx_stmt(Csr1, "SELECT user_id, session_guid, discount, locked FROM shop_users "
                   "WHERE login = 'anna'", -1, 1, 0, 0);
    sqx_exec(Csr1, 0, 0);
    sqx_fetch(Csr1, 1, GRID(1));

    sqx_stmt(Csr2, "INSERT INTO shop_sessions (user_id, session_guid) VALUES (:1, :2)", -1, 1, 0, 0);
    sqx_assign_bind(Csr2, ":1", "20417", 0);
    sqx_assign_bind(Csr2, ":2", "6F9619FF-8B86-D011-B42D-00C04FC964FF", 0);
    sqx_exec(Csr2, 0, 0);
    return 0;
}
