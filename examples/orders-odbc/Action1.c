#include "sqx.h"

/* Log in as clerk jsmith and open a session. */
Action1()
{
    sqx_stmt(Stmt1, "SELECT user_id, session_token, role, active FROM app_users "
                    "WHERE login = 'jsmith' AND active = 'Y'", -1, 1, 0, 0);
    sqx_fetch(Stmt1, 1, GRID(1));

    sqx_stmt(Stmt1, "INSERT INTO app_sessions (user_id, token, terminal) VALUES (?, ?, ?)",
             -1, 1, 0, 0);
    sqx_assign_bind(Stmt1, "1", "10473", 0);
    sqx_assign_bind(Stmt1, "2", "TK-8F3A21", 0);
    sqx_assign_bind(Stmt1, "3", "WS-07", 0);

    sqx_stmt(Stmt1, "COMMIT", -1, 1, 0, 0);
    return 0;
}
