#include "sqx.h"
#define LOGIN_USER "jsmith"
Action2()
{
    /* The statement below was recorded
       with line breaks inside its SQL text. */
    sqx_stmt(Csr2, "SELECT id FROM users
WHERE login = 'jsmith'
AND age > 30", -1, 1, 0, 0);
    sqx_assign(Csr2, "after the SQL", 0);
    sqx_exec(Csr2, 0, 0);
    note = "see http://example.com"; sqx_assign(Csr2, "swallowed", 0);
    sqx_assign(Csr2, "next line", 0);
    return 0;
}
