#include "sqx.h"

/* Log in as clerk jsmith and open a session. */
Action1()
{
    sqx_stmt(Csr1, "SELECT user_id, session_token, role, active FROM app_users "
                   "WHERE login = 'jsmith' AND active = 'Y'", -1, 1, 0, 0);
    sqx_exec(Csr1, 0, 0);
    sqx_fetch(Csr1, 1, GRID(1));

    sqx_stmt(Csr2, "INSERT INTO app_sessions (user_id, token, terminal) VALUES (:1, :2, :3)",
             -1, 1, 0, 0);
    sqx_assign_bind(Csr2, ":1", "10473", 0);
    sqx_assign_bind(Csr2, ":2", "TK-8F3A21", 0);
    sqx_assign_bind(Csr2, ":3", "WS-07", 0);
    sqx_exec(Csr2, 0, 0);
    return 0;
}
