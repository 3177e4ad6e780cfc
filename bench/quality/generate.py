#!/usr/bin/env python3
"""Generates a labelled recorded project for measuring ranking quality.

Three application shapes, each recorded through either database family:

  orders   order entry: log in, find customers, open or create orders, add
           lines in a loop, submit, list the day's orders
  banking  transfers: log in, list accounts and payees, create transfers in
           a loop, confirm each with a TAN challenge, read the statement
  tickets  ticket booking: log in, search events, read seat maps, hold
           seats in a loop, reserve, pay, print the tickets

One recorded session is split over several action files: the login file,
the business files, the logout file. The server-made values (ids, session
tokens, GUIDs, totals, booking references) come back in result grids and
are sent again by later statements, in the same file and in later ones;
several grids return the same ids (a search and a later list). Around them
are the values that make ranking hard: Y/N flags, status codes, fixed
numbers, the recording day, values the user typed that a grid happens to
return, and echoes (values the script sent first and a grid merely
returned).

Beside the project the generator writes truth.json: every sent value that
some earlier grid returns, either as a true correlation with its acceptable
source cells or as a decoy with its reason. Everything is determined by the
shape, the family, the seed and the size.

Usage: generate.py --shape orders --family oracle --seed 1 --out DIR [--size N]
"""

import argparse
import datetime
import random
import sys

import recording as rec
from recording import cell, decoy, n, q, true, PLAIN

SHAPES = ("orders", "banking", "tickets")
FAMILIES = ("oracle", "odbc")
TODAY = datetime.date(2026, 12, 8)
# Business transactions per action file, and the default number of them.
TRANSACTIONS_PER_FILE = (3, 6)
DEFAULT_SIZE = 40
# Share of grids stored as recordsets inside the action file.
RECORDSET_SHARE = 0.15

FIRST_NAMES = ["Anna", "Bernd", "Clara", "David", "Elena", "Frank", "Greta", "Hugo", "Ines",
               "Jonas", "Karin", "Lukas", "Maria", "Nils", "Olga", "Paul", "Rita", "Stefan"]
LAST_NAMES = ["Hartmann", "Novak", "Keller", "Brandt", "Vogel", "Lindner", "Moreau", "Rossi",
              "Kowalski", "Jansen", "Berger", "Fischer", "Schulz", "Wagner", "Becker", "Hofmann"]
CITIES = ["Leipzig", "Bremen", "Hamburg", "Dresden", "Kassel", "Mainz", "Bonn", "Essen", "Kiel",
          "Ulm", "Trier", "Jena", "Passau", "Rostock", "Erfurt", "Potsdam"]
COMPANY = ["Supplies", "Trading", "GmbH", "Logistics", "Partners", "Wholesale", "AG", "Handel"]


class World:
    """Random draws shared by the shapes; unique ids never repeat."""

    def __init__(self, rng):
        self.rng = rng
        self.used = set()

    def unique(self, make):
        while True:
            value = make()
            if value not in self.used:
                self.used.add(value)
                return value

    def number(self, low, high):
        return self.unique(lambda: str(self.rng.randint(low, high)))

    def guid(self):
        def make():
            h = "%032X" % self.rng.getrandbits(128)
            return "%s-%s-%s-%s-%s" % (h[:8], h[8:12], h[12:16], h[16:20], h[20:])
        return self.unique(make)

    def hex_token(self, length):
        return self.unique(lambda: "%0*X" % (length, self.rng.getrandbits(4 * length)))

    def code(self, prefix, length):
        alphabet = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789"
        return self.unique(lambda: prefix + "".join(self.rng.choice(alphabet) for _ in range(length)))

    def money(self, low, high):
        return "%d.%02d" % (self.rng.randint(low, high), self.rng.randint(0, 99))

    def date(self, days_back):
        return (TODAY - datetime.timedelta(days=self.rng.randint(0, days_back))).isoformat()

    def person(self):
        return "%s %s" % (self.rng.choice(FIRST_NAMES), self.rng.choice(LAST_NAMES))

    def company(self):
        return "%s %s" % (self.rng.choice(LAST_NAMES), self.rng.choice(COMPANY))

    def flag(self, yes_share):
        return "Y" if self.rng.random() < yes_share else "N"

    def pick_row(self, count):
        """The row a user picks from a list: mostly the first ones."""
        weights = [1.0 / (i + 1) ** 1.5 for i in range(count)]
        return self.rng.choices(range(count), weights=weights)[0]


TODAY_TEXT = TODAY.isoformat()


def split_into_files(r, w, transactions, login, business, logout):
    """Login file, business files of a few transactions each, logout file."""
    r.begin_file("Log in and open a session.")
    session = login(r, w)
    r.end_file()
    done = 0
    while done < transactions:
        count = min(transactions - done, w.rng.randint(*TRANSACTIONS_PER_FILE))
        r.begin_file("Business steps %d to %d of the session." % (done + 1, done + count))
        for _ in range(count):
            business(r, w, session)
            r.blank()
        done += count
        r.end_file()
    r.begin_file("Close the session.")
    logout(r, w, session)
    r.end_file()


# --- what every application does besides its business ---------------------

LOOKUPS = [
    ("payment_terms", ["NET30", "NET60", "PREPAID", "COD"]),
    ("countries", ["DE", "AT", "CH", "FR", "NL", "PL", "IT"]),
    ("units", ["PCS", "BOX", "KG", "M", "L"]),
    ("channels", ["WEB", "PHONE", "SHOP", "MAIL"]),
    ("priorities", ["LOW", "NORMAL", "HIGH", "URGENT"]),
]


def background(r, w, s, who):
    """One to three statements the application runs on every screen: code
    lookups, counters, preferences, unread messages. They fill the grids with
    flags, small numbers, codes and dates, and send fixed values."""
    rng = w.rng
    user, key = who
    for _ in range(rng.randint(1, 3)):
        kind = rng.random()
        if kind < 0.35:
            table, codes = rng.choice(LOOKUPS)
            shown = codes[:rng.randint(2, len(codes))]
            r.statement("lookup", ["SELECT code, label, sort_order, active FROM ", table, " WHERE lang = ",
                                   q("DE", PLAIN), " AND active = ", q("Y", decoy("flag"))],
                        header=["CODE", "LABEL", "SORT_ORDER", "ACTIVE"],
                        rows=[[cell(c), cell(c.title()), cell(str(i)), cell(w.flag(0.9))]
                              for i, c in enumerate(shown, start=1)])
        elif kind < 0.55:
            r.statement("counter", ["SELECT COUNT(*) AS open_items, MAX(created) AS latest FROM work_items ", "\n",
                                    "WHERE owner = ", n(user, true(key)), " AND status = ",
                                    q(rng.choice(["OPEN", "PENDING", "NEW"]), decoy("status")),
                                    " AND ROWNUM <= ", n(rng.choice(["20", "50", "100"]), decoy("constant"))],
                        header=["OPEN_ITEMS", "LATEST"],
                        rows=[[cell(str(rng.randint(0, 40))), cell(w.date(10))]])
        elif kind < 0.75:
            r.statement("prefs", ["UPDATE user_prefs SET page_size = ", n(rng.choice(["20", "50"]), decoy("constant")),
                                  ", show_closed = ", q(w.flag(0.2), decoy("flag")), ", last_seen = ",
                                  q(TODAY_TEXT, decoy("date")), " WHERE user_id = ", n(user, true(key))])
        else:
            messages = [(w.number(40000000, 49999999), rng.choice(["INFO", "WARN"]), w.date(5))
                        for _ in range(rng.randint(0, 3))]
            r.statement("messages", ["SELECT msg_id, severity, created, read_flag FROM messages ", "\n",
                                     "WHERE user_id = ", n(user, true(key)), " AND read_flag = ",
                                     q("N", decoy("flag"))],
                        header=["MSG_ID", "SEVERITY", "CREATED", "READ_FLAG"],
                        rows=[[cell(m[0], "msg:" + m[0]), cell(m[1]), cell(m[2]), cell("N")] for m in messages])
            for m in messages[:1]:
                r.statement("read", ["UPDATE messages SET read_flag = ", q("Y", decoy("flag")), ", read_at = ",
                                     q(TODAY_TEXT, decoy("date")), " WHERE msg_id = ", n(m[0], true("msg:" + m[0]))])


# --- order entry --------------------------------------------------------------


def orders_login(r, w):
    user_id = w.number(10000, 19999)
    token = w.guid()
    login = "c" + w.rng.choice(LAST_NAMES).lower()
    r.statement("login", ["SELECT user_id, login, session_token, role, active FROM app_users ", "\n",
                          "WHERE login = ", q(login, PLAIN), " AND active = ", q("Y", PLAIN)],
                header=["USER_ID", "LOGIN", "SESSION_TOKEN", "ROLE", "ACTIVE"],
                rows=[[cell(user_id, "user"), cell(login), cell(token, "session"), cell("CLERK"), cell("Y")]])
    r.statement("session", ["INSERT INTO app_sessions (user_id, token, terminal, started) ", "\n",
                            "VALUES (", ":1, :2, :3, :4)" if r.family == "oracle" else "?, ?, ?, ?)"],
                binds=[(user_id, true("user")), (token, true("session")),
                       ("WS-%02d" % w.rng.randint(1, 40), PLAIN), (TODAY_TEXT, PLAIN)])
    statuses = ["OPEN", "PENDING", "SUBMITTED", "SHIPPED", "CLOSED", "CANCELLED"]
    r.statement("codes", ["SELECT code, description, active FROM order_status_codes WHERE active = ",
                          q("Y", decoy("flag"))],
                header=["CODE", "DESCRIPTION", "ACTIVE"],
                rows=[[cell(s), cell(s.lower() + " order"), cell("Y")] for s in statuses])
    r.statement("params", ["SELECT name, value FROM app_params WHERE module = ", q("ORDERS", PLAIN)],
                header=["NAME", "VALUE"],
                rows=[[cell("MAX_LINES"), cell("20")], [cell("VAT_RATE"), cell("19")],
                      [cell("CURRENCY"), cell("EUR")], [cell("DEFAULT_QTY"), cell("1")],
                      [cell("PAGE_SIZE"), cell("50")], [cell("REGION"), cell("4")]])
    r.blank()
    return {"user": user_id, "token": token, "orders": [], "customers": []}


def orders_business(r, w, s):
    rng = w.rng
    background(r, w, s, (s["user"], "user"))
    roll = rng.random()
    if roll < 0.12 and s["orders"]:
        return orders_list(r, w, s)
    if roll < 0.22:
        orders_new_customer(r, w, s)
    # Find the customer.
    pattern = rng.choice(LAST_NAMES)[:4] + "%"
    customers = [(w.number(50000, 99999), w.company(), rng.choice(CITIES), str(rng.randint(1, 9)))
                 for _ in range(rng.randint(1, 8))]
    if s["customers"] and rng.random() < 0.3:
        customers.insert(0, rng.choice(s["customers"]))
    r.comment("Find the customer.")
    r.statement("find_customer", ["SELECT cust_id, name, city, region, active FROM customers ", "\n",
                                  "WHERE name LIKE ", q(pattern, PLAIN), " AND active = ", q("Y", decoy("flag")),
                                  " ORDER BY name"],
                header=["CUST_ID", "NAME", "CITY", "REGION", "ACTIVE"],
                rows=[[cell(c[0], "cust:" + c[0]), cell(c[1]), cell(c[2]), cell(c[3]), cell("Y")]
                      for c in customers])
    customer = customers[w.pick_row(len(customers))]
    s["customers"].append(customer)
    cust = customer[0]
    # Open orders of the customer.
    existing = [(w.number(900000, 999999), rng.choice(["OPEN", "PENDING"]), w.money(20, 900), w.date(30))
                for _ in range(rng.randint(0, 3))]
    r.statement("orders_of", ["SELECT order_id, status, clerk_id, total, created FROM orders ", "\n",
                              "WHERE cust_id = ", n(cust, true("cust:" + cust)), " AND status IN (",
                              q("OPEN", decoy("status")), ", ", q("PENDING", decoy("status")), ")"],
                header=["ORDER_ID", "STATUS", "CLERK_ID", "TOTAL", "CREATED"],
                rows=[[cell(o[0], "order:" + o[0]), cell(o[1]), cell(s["user"], "user"), cell(o[2]), cell(o[3])]
                      for o in existing])
    if existing and rng.random() < 0.5:
        order = existing[0][0]
    else:
        order = w.number(900000, 999999)
        r.statement("next_order", ["SELECT orders_seq.NEXTVAL FROM dual"],
                    header=["NEXTVAL"], rows=[[cell(order, "order:" + order)]])
        marks = ":1, :2, :3, :4, :5" if r.family == "oracle" else "?, ?, ?, ?, ?"
        r.statement("new_order", ["INSERT INTO orders (order_id, cust_id, clerk_id, status, created) ", "\n",
                                  "VALUES (" + marks + ")"],
                    binds=[(order, true("order:" + order)), (cust, true("cust:" + cust)),
                           (s["user"], true("user")), ("OPEN", decoy("status")), (TODAY_TEXT, decoy("date"))])
    s["orders"].append(order)
    # Items of a category, then the order lines in a loop.
    category = str(rng.randint(1, 9))
    items = [(w.number(3000, 8999), w.code("AX-", 3), w.money(1, 120), str(rng.randint(0, 400)))
             for _ in range(rng.randint(3, 14))]
    r.comment("Add the order lines.")
    r.statement("items", ["SELECT item_id, sku, unit_price, stock, in_stock FROM items ", "\n",
                          "WHERE category = ", n(category, decoy("constant")), " AND in_stock = ",
                          q("Y", decoy("flag"))],
                header=["ITEM_ID", "SKU", "UNIT_PRICE", "STOCK", "IN_STOCK"],
                rows=[[cell(i[0], "item:" + i[0]), cell(i[1]), cell(i[2], "price:" + i[0]), cell(i[3]), cell("Y")]
                      for i in items])
    chosen = rng.sample(items, min(len(items), rng.randint(1, 6)))
    runs = []
    for line_no, item in enumerate(chosen, start=1):
        qty = str(rng.choice([1, 1, 2, 2, 3, 4, 5, 6, 10, 12, 20, 24]))
        runs.append({"binds": [(order, true("order:" + order)), (str(line_no), decoy("constant")),
                               (item[0], true("item:" + item[0])), (qty, decoy("typed")),
                               (item[2], true("price:" + item[0]))]})
    marks = ":1, :2, :3, :4, :5" if r.family == "oracle" else "?, ?, ?, ?, ?"
    r.loop("add_line", lambda run: ["INSERT INTO order_lines (order_id, line_no, item_id, qty, price) ", "\n",
                                    "VALUES (" + marks + ")"], runs)
    if rng.random() < 0.5:
        item = chosen[0]
        r.statement("stock", ["UPDATE items SET stock = stock - ", n(runs[0]["binds"][3][0], decoy("typed")),
                              " WHERE item_id = ", n(item[0], true("item:" + item[0]))])
    # Submit: the server sums the lines.
    total = w.money(20, 2000)
    r.comment("Submit the order.")
    r.statement("sum", ["SELECT SUM(qty * price) AS total, COUNT(*) AS lines FROM order_lines ", "\n",
                        "WHERE order_id = ", n(order, true("order:" + order))],
                header=["TOTAL", "LINES"], rows=[[cell(total, "total:" + order), cell(str(len(chosen)))]])
    r.statement("submit", ["UPDATE orders SET status = ", q("SUBMITTED", decoy("status")), ", total = ",
                           n(total, true("total:" + order)), "\n",
                           "WHERE order_id = ", n(order, true("order:" + order)), " AND session_token = ",
                           q(s["token"], true("session"))])
    marks = ":1, :2, :3, :4" if r.family == "oracle" else "?, ?, ?, ?"
    r.statement("audit", ["INSERT INTO audit_log (session_token, event, ref_id, created) VALUES (" + marks + ")"],
                binds=[(s["token"], true("session")), ("ORDER_SUBMITTED", PLAIN), (order, true("order:" + order)),
                       (TODAY_TEXT, decoy("date"))])


def orders_new_customer(r, w, s):
    """A customer the user types in: its name and phone come back from the
    server only as echoes; its id is the server's."""
    rng = w.rng
    name = w.company()
    city = rng.choice(CITIES)
    phone = w.unique(lambda: "0%d-%d" % (rng.randint(30, 899), rng.randint(100000, 999999)))
    r.comment("Create a new customer.")
    marks = ":1, :2, :3, :4" if r.family == "oracle" else "?, ?, ?, ?"
    r.statement("new_customer", ["INSERT INTO customers (name, city, phone, active) VALUES (" + marks + ")"],
                binds=[(name, PLAIN), (city, PLAIN), (phone, PLAIN), ("Y", decoy("flag"))])
    cust = w.number(50000, 99999)
    region = str(rng.randint(1, 9))
    r.statement("customer_by_phone", ["SELECT cust_id, name, city, phone, region FROM customers WHERE phone = ",
                                      q(phone, PLAIN)],
                header=["CUST_ID", "NAME", "CITY", "PHONE", "REGION"],
                rows=[[cell(cust, "cust:" + cust), cell(name), cell(city), cell(phone), cell(region)]])
    r.statement("customer_note", ["UPDATE customers SET note = ", q("new via phone " + phone, PLAIN), ", city = ",
                                  q(city, decoy("echo")), " WHERE cust_id = ", n(cust, true("cust:" + cust))])
    s["customers"].append((cust, name, city, region))


def orders_list(r, w, s):
    """The day's orders of the clerk: a second grid returning order ids."""
    rng = w.rng
    r.comment("List today's orders.")
    shown = list(s["orders"][-12:])
    rng.shuffle(shown)
    r.statement("day_orders", ["SELECT order_id, status, total, created FROM orders ", "\n",
                               "WHERE clerk_id = ", n(s["user"], true("user")), " AND created = ",
                               q(TODAY_TEXT, decoy("date"))],
                header=["ORDER_ID", "STATUS", "TOTAL", "CREATED"],
                rows=[[cell(o, "order:" + o), cell(rng.choice(["OPEN", "SUBMITTED"])), cell(w.money(20, 2000)),
                       cell(TODAY_TEXT)] for o in shown])
    order = shown[w.pick_row(len(shown))]
    r.statement("order_detail", ["SELECT line_no, item_id, qty, price FROM order_lines WHERE order_id = ",
                                 n(order, true("order:" + order)), " ORDER BY line_no"])
    r.statement("reopen", ["UPDATE orders SET status = ", q("OPEN", decoy("status")), " WHERE order_id = ",
                           n(order, true("order:" + order))])


def orders_logout(r, w, s):
    r.statement("logout", ["UPDATE app_sessions SET ended = ", q(TODAY_TEXT, decoy("date")), "\n",
                           "WHERE token = ", q(s["token"], true("session")), " AND user_id = ",
                           n(s["user"], true("user"))])


# --- banking transfers ----------------------------------------------------


def iban(w):
    return w.unique(lambda: "DE%02d%08d%010d" % (w.rng.randint(10, 99), w.rng.randint(10000000, 99999999),
                                                   w.rng.randint(0, 9999999999)))


def banking_login(r, w):
    customer = w.number(10000000, 99999999)
    session = w.hex_token(32)
    login = w.rng.choice(LAST_NAMES).lower() + str(w.rng.randint(1, 99))
    r.statement("login", ["SELECT customer_no, name, session_id, last_login, locked FROM bank_users ", "\n",
                          "WHERE login = ", q(login, PLAIN)],
                header=["CUSTOMER_NO", "NAME", "SESSION_ID", "LAST_LOGIN", "LOCKED"],
                rows=[[cell(customer, "customer"), cell(w.person()), cell(session, "session"),
                       cell(w.date(20)), cell("N")]])
    accounts = []
    for _ in range(w.rng.randint(2, 5)):
        accounts.append((w.number(1000000000, 1999999999), iban(w), w.money(0, 25000)))
    r.statement("accounts", ["SELECT account_id, iban, currency, balance, status, overdraft FROM accounts ", "\n",
                             "WHERE customer_no = ", n(customer, true("customer")), " AND status = ",
                             q("ACTIVE", PLAIN)],
                header=["ACCOUNT_ID", "IBAN", "CURRENCY", "BALANCE", "STATUS", "OVERDRAFT"],
                rows=[[cell(a[0], "account:" + a[0]), cell(a[1], "iban:" + a[1]), cell("EUR"), cell(a[2]),
                       cell("ACTIVE"), cell(w.flag(0.3))] for a in accounts])
    payees = []
    for _ in range(w.rng.randint(3, 15)):
        payees.append((w.number(200000, 299999), w.person(), iban(w), w.rng.choice(["DEUTDEFF", "COBADEFF",
                                                                                     "GENODEF1", "PBNKDEFF"])))
    r.statement("payees", ["SELECT payee_id, name, iban, bic, active FROM payees WHERE customer_no = ",
                           n(customer, true("customer"))],
                header=["PAYEE_ID", "NAME", "IBAN", "BIC", "ACTIVE"],
                rows=[[cell(p[0], "payee:" + p[0]), cell(p[1]), cell(p[2], "iban:" + p[2]), cell(p[3]),
                       cell("Y")] for p in payees])
    marks = ":1, :2, :3" if r.family == "oracle" else "?, ?, ?"
    r.statement("audit", ["INSERT INTO access_log (session_id, customer_no, channel) VALUES (" + marks + ")"],
                binds=[(session, true("session")), (customer, true("customer")), ("WEB", PLAIN)])
    r.blank()
    return {"customer": customer, "session": session, "accounts": accounts, "payees": payees,
            "transfers": [], "amounts": []}


def banking_business(r, w, s):
    rng = w.rng
    background(r, w, s, (s["customer"], "customer"))
    if rng.random() < 0.2 and s["transfers"]:
        return banking_statement(r, w, s)
    if rng.random() < 0.15:
        banking_new_payee(r, w, s)
    account = s["accounts"][w.pick_row(len(s["accounts"]))]
    r.comment("Transfers from one account.")
    r.statement("balance", ["SELECT balance, available, currency, overdraft FROM accounts WHERE account_id = ",
                            n(account[0], true("account:" + account[0]))],
                header=["BALANCE", "AVAILABLE", "CURRENCY", "OVERDRAFT"],
                rows=[[cell(w.money(0, 25000)), cell(w.money(0, 25000)), cell("EUR"), cell(w.flag(0.3))]])
    count = rng.randint(1, 4)
    transfers = [w.number(70000000, 79999999) for _ in range(count)]
    runs = []
    for transfer in transfers:
        payee = s["payees"][w.pick_row(len(s["payees"]))]
        if s["amounts"] and rng.random() < 0.2:
            amount = rng.choice(s["amounts"])  # a standing amount, typed again
            amount_label = decoy("echo")
        else:
            amount = rng.choice(["%d.00" % rng.choice([10, 20, 25, 50, 100, 150, 200, 250, 500]),
                                 w.money(5, 3000)])
            amount_label = decoy("typed")
        s["amounts"].append(amount)
        runs.append((transfer, payee, amount, amount_label))
    echoes = s.get("echo_ibans", set())
    for transfer, payee, amount, amount_label in runs:
        iban_label = decoy("echo") if payee[2] in echoes else true("iban:" + payee[2])
        r.statement("next_transfer", ["SELECT transfer_seq.NEXTVAL FROM dual"],
                    header=["NEXTVAL"], rows=[[cell(transfer, "transfer:" + transfer)]])
        marks = ":1, :2, :3, :4, :5, :6, :7" if r.family == "oracle" else "?, ?, ?, ?, ?, ?, ?"
        reference = "Invoice %d" % rng.randint(1000, 99999)
        r.statement("new_transfer", ["INSERT INTO transfers (transfer_id, from_account, to_iban, amount, ", "\n",
                                     "currency, booking_date, reference) VALUES (" + marks + ")"],
                    binds=[(transfer, true("transfer:" + transfer)), (account[0], true("account:" + account[0])),
                           (payee[2], iban_label), (amount, amount_label), ("EUR", decoy("constant")),
                           (TODAY_TEXT, decoy("date")), (reference, PLAIN)])
        challenge = w.number(400000, 499999)
        r.statement("challenge", ["SELECT challenge_id, method, attempts, valid_until FROM tan_challenges ", "\n",
                                  "WHERE transfer_id = ", n(transfer, true("transfer:" + transfer))],
                    header=["CHALLENGE_ID", "METHOD", "ATTEMPTS", "VALID_UNTIL"],
                    rows=[[cell(challenge, "challenge:" + challenge), cell("PUSH"), cell("0"), cell(TODAY_TEXT)]])
        tan = "%06d" % rng.randint(0, 999999)
        r.statement("confirm", ["UPDATE transfers SET status = ", q("CONFIRMED", decoy("status")), ", tan = ",
                                q(tan, PLAIN), "\n",
                                "WHERE transfer_id = ", n(transfer, true("transfer:" + transfer)),
                                " AND challenge_id = ", n(challenge, true("challenge:" + challenge))])
        s["transfers"].append(transfer)
    r.statement("pending", ["SELECT transfer_id, amount, status, booking_date FROM transfers ", "\n",
                            "WHERE from_account = ", n(account[0], true("account:" + account[0])),
                            " AND status = ", q("CONFIRMED", decoy("status"))],
                header=["TRANSFER_ID", "AMOUNT", "STATUS", "BOOKING_DATE"],
                rows=[[cell(t[0], "transfer:" + t[0]), cell(t[2]), cell("CONFIRMED"), cell(TODAY_TEXT)]
                      for t in runs])
    marks = ":1, :2, :3" if r.family == "oracle" else "?, ?, ?"
    r.statement("audit_transfer", ["INSERT INTO access_log (session_id, customer_no, channel) VALUES (" + marks + ")"],
                binds=[(s["session"], true("session")), (s["customer"], true("customer")), ("WEB", PLAIN)])


def banking_new_payee(r, w, s):
    rng = w.rng
    name = w.person()
    new_iban = iban(w)
    marks = ":1, :2, :3, :4" if r.family == "oracle" else "?, ?, ?, ?"
    r.comment("Add a payee.")
    r.statement("new_payee", ["INSERT INTO payees (customer_no, name, iban, bic) VALUES (" + marks + ")"],
                binds=[(s["customer"], true("customer")), (name, PLAIN), (new_iban, PLAIN), ("DEUTDEFF", PLAIN)])
    payee = w.number(200000, 299999)
    r.statement("payee_by_iban", ["SELECT payee_id, name, iban, bic, active FROM payees WHERE iban = ",
                                  q(new_iban, PLAIN)],
                header=["PAYEE_ID", "NAME", "IBAN", "BIC", "ACTIVE"],
                rows=[[cell(payee, "payee:" + payee), cell(name), cell(new_iban), cell("DEUTDEFF"), cell("Y")]])
    r.statement("payee_check", ["UPDATE payees SET verified = ", q("Y", decoy("flag")), " WHERE payee_id = ",
                                n(payee, true("payee:" + payee)), " AND name = ", q(name, decoy("echo"))])
    # The new payee's IBAN came from the user: sending it again is an echo.
    s["payees"].append((payee, name, new_iban, "DEUTDEFF"))
    s.setdefault("echo_ibans", set()).add(new_iban)


def banking_statement(r, w, s):
    rng = w.rng
    account = s["accounts"][w.pick_row(len(s["accounts"]))]
    shown = list(s["transfers"][-15:])
    rows = []
    for transfer in shown:
        booking = w.number(30000000, 39999999)
        rows.append((booking, transfer, rng.choice(s["amounts"]), TODAY_TEXT))
    for _ in range(rng.randint(2, 10)):
        rows.append((w.number(30000000, 39999999), "", w.money(5, 3000), w.date(30)))
    rng.shuffle(rows)
    r.comment("Read the account statement.")
    r.statement("statement", ["SELECT booking_id, transfer_id, amount, booking_date FROM bookings ", "\n",
                              "WHERE account_id = ", n(account[0], true("account:" + account[0])),
                              " AND booking_date >= ", q(w.date(30), decoy("date"))],
                header=["BOOKING_ID", "TRANSFER_ID", "AMOUNT", "BOOKING_DATE"],
                rows=[[cell(b[0], "booking:" + b[0]), cell(b[1], ("transfer:" + b[1]) if b[1] else None),
                       cell(b[2]), cell(b[3])] for b in rows])
    for booking in rng.sample(rows, min(len(rows), rng.randint(1, 3))):
        r.statement("booking_detail", ["SELECT * FROM booking_details WHERE booking_id = ",
                                       n(booking[0], true("booking:" + booking[0]))])
        if booking[1]:
            r.statement("transfer_detail", ["SELECT * FROM transfers WHERE transfer_id = ",
                                            n(booking[1], true("transfer:" + booking[1])), " AND amount = ",
                                            n(booking[2], decoy("echo"))])


def banking_logout(r, w, s):
    r.statement("logout", ["UPDATE bank_sessions SET ended = ", q(TODAY_TEXT, decoy("date")), "\n",
                           "WHERE session_id = ", q(s["session"], true("session")), " AND customer_no = ",
                           n(s["customer"], true("customer"))])


# --- ticket booking ---------------------------------------------------------


def tickets_login(r, w):
    member = w.number(100000, 999999)
    key = w.guid()
    email = "%s.%s@example.org" % (w.rng.choice(FIRST_NAMES).lower(), w.rng.choice(LAST_NAMES).lower())
    r.statement("login", ["SELECT member_id, email, session_key, tier, newsletter FROM members ", "\n",
                          "WHERE email = ", q(email, PLAIN)],
                header=["MEMBER_ID", "EMAIL", "SESSION_KEY", "TIER", "NEWSLETTER"],
                rows=[[cell(member, "member"), cell(email), cell(key, "session"), cell("GOLD"), cell("Y")]])
    cities = w.rng.sample(CITIES, 6)
    r.statement("cities", ["SELECT city, venues, active FROM cities WHERE active = ", q("Y", decoy("flag"))],
                header=["CITY", "VENUES", "ACTIVE"],
                rows=[[cell(c), cell(str(w.rng.randint(1, 12))), cell("Y")] for c in cities])
    r.blank()
    return {"member": member, "key": key, "email": email, "cities": cities, "reservations": []}


def tickets_business(r, w, s):
    rng = w.rng
    background(r, w, s, (s["member"], "member"))
    if rng.random() < 0.15 and s["reservations"]:
        return tickets_my_bookings(r, w, s)
    city = rng.choice(s["cities"])
    events = [(w.number(100000, 199999), "%s live" % rng.choice(LAST_NAMES), str(rng.randint(10, 99)),
               (TODAY + datetime.timedelta(days=rng.randint(1, 90))).isoformat())
              for _ in range(rng.randint(3, 20))]
    r.comment("Find an event in %s." % city)
    r.statement("events", ["SELECT event_id, title, venue_id, event_date, available FROM events ", "\n",
                           "WHERE city = ", q(city, decoy("typed")), " AND event_date >= ", q(TODAY_TEXT, decoy("date")),
                           " AND available = ", q("Y", decoy("flag"))],
                header=["EVENT_ID", "TITLE", "VENUE_ID", "EVENT_DATE", "AVAILABLE"],
                rows=[[cell(e[0], "event:" + e[0]), cell(e[1]), cell(e[2]), cell(e[3]), cell("Y")] for e in events])
    event = events[w.pick_row(len(events))]
    prices = {c: "%d.00" % p for c, p in zip("1234", sorted(rng.sample(range(19, 149), 4), reverse=True))}
    seats = []
    for _ in range(rng.randint(8, 30)):
        category = rng.choice("1234")
        seats.append((w.number(5000000, 5999999), rng.choice("ABCDEF"), str(rng.randint(1, 30)),
                      str(rng.randint(1, 40)), category, prices[category]))
    r.statement("seats", ["SELECT seat_id, block, seat_row, seat_no, category, price, free FROM seats ", "\n",
                          "WHERE event_id = ", n(event[0], true("event:" + event[0])), " AND free = ",
                          q("Y", decoy("flag"))],
                header=["SEAT_ID", "BLOCK", "SEAT_ROW", "SEAT_NO", "CATEGORY", "PRICE", "FREE"],
                rows=[[cell(x[0], "seat:" + x[0]), cell(x[1]), cell(x[2]), cell(x[3]), cell(x[4]), cell(x[5]),
                       cell("Y")] for x in seats])
    wanted = rng.sample(seats, min(len(seats), rng.choice([1, 2, 2, 2, 3, 4, 6])))
    r.comment("Hold the seats.")
    marks = ":1, :2, :3, :4" if r.family == "oracle" else "?, ?, ?, ?"
    r.loop("hold", lambda run: ["INSERT INTO seat_holds (event_id, seat_id, session_key, category) ", "\n",
                                "VALUES (" + marks + ")"],
           [{"binds": [(event[0], true("event:" + event[0])), (x[0], true("seat:" + x[0])),
                       (s["key"], true("session")), (x[4], decoy("constant"))]} for x in wanted])
    reservation = w.number(8000000, 8999999)
    amount = "%d.00" % sum(int(float(x[5])) for x in wanted)
    r.statement("reserve", ["SELECT reservation_seq.NEXTVAL AS id, SUM(price) AS amount, COUNT(*) AS seats ", "\n",
                            "FROM seat_holds WHERE session_key = ", q(s["key"], true("session"))],
                header=["ID", "AMOUNT", "SEATS"],
                rows=[[cell(reservation, "reservation:" + reservation), cell(amount, "amount:" + reservation),
                       cell(str(len(wanted)))]])
    marks = ":1, :2, :3, :4, :5" if r.family == "oracle" else "?, ?, ?, ?, ?"
    r.statement("reservation", ["INSERT INTO reservations (reservation_id, member_id, event_id, seats, status) ",
                                "\n", "VALUES (" + marks + ")"],
                binds=[(reservation, true("reservation:" + reservation)), (s["member"], true("member")),
                       (event[0], true("event:" + event[0])), (str(len(wanted)), decoy("constant")),
                       ("HELD", PLAIN)])
    s["reservations"].append(reservation)
    if rng.random() < 0.5:
        # Pay in the next file, as the recording often splits there.
        r.end_file()
        r.begin_file("Pay reservation %s." % reservation)
    tickets_pay(r, w, s, reservation, amount, wanted)


def tickets_pay(r, w, s, reservation, amount, wanted):
    rng = w.rng
    payment = w.number(600000000, 699999999)
    r.comment("Pay and print the tickets.")
    r.statement("next_payment", ["SELECT payment_seq.NEXTVAL FROM dual"],
                header=["NEXTVAL"], rows=[[cell(payment, "payment:" + payment)]])
    marks = ":1, :2, :3, :4, :5" if r.family == "oracle" else "?, ?, ?, ?, ?"
    r.statement("payment", ["INSERT INTO payments (payment_id, reservation_id, amount, card_token, status) ", "\n",
                            "VALUES (" + marks + ")"],
                binds=[(payment, true("payment:" + payment)), (reservation, true("reservation:" + reservation)),
                       (amount, true("amount:" + reservation)), ("tok_visa_4242", PLAIN), ("PAID", PLAIN)])
    ref = w.code("BK-", 6)
    r.statement("booking_ref", ["SELECT booking_ref, status, paid_at FROM reservations WHERE reservation_id = ",
                                n(reservation, true("reservation:" + reservation))],
                header=["BOOKING_REF", "STATUS", "PAID_AT"],
                rows=[[cell(ref, "ref:" + ref), cell("PAID"), cell(TODAY_TEXT)]])
    tickets = [(w.number(20000000, 29999999), x[0], w.unique(lambda: "%013d" % rng.randint(0, 10 ** 13 - 1)))
               for x in wanted]
    r.statement("tickets", ["SELECT ticket_id, seat_id, barcode, printed FROM tickets WHERE booking_ref = ",
                            q(ref, true("ref:" + ref))],
                header=["TICKET_ID", "SEAT_ID", "BARCODE", "PRINTED"],
                rows=[[cell(t[0], "ticket:" + t[0]), cell(t[1], "seat:" + t[1]), cell(t[2], "barcode:" + t[2]),
                       cell("N")] for t in tickets])
    r.loop("print", lambda run: ["UPDATE tickets SET printed = ", q("Y", decoy("flag")), " WHERE ticket_id = ",
                                 n(run["ticket"][0], true("ticket:" + run["ticket"][0])), "\n",
                                 "AND barcode = ", q(run["ticket"][2], true("barcode:" + run["ticket"][2]))],
           [{"binds": [], "ticket": t} for t in tickets])
    r.statement("confirm", ["UPDATE reservations SET status = ", q("CONFIRMED", PLAIN), " WHERE booking_ref = ",
                            q(ref, true("ref:" + ref))])


def tickets_my_bookings(r, w, s):
    rng = w.rng
    shown = list(s["reservations"][-10:])
    r.comment("My bookings.")
    r.statement("my_bookings", ["SELECT reservation_id, event_id, seats, status FROM reservations ", "\n",
                                "WHERE member_id = ", n(s["member"], true("member")), " AND status = ",
                                q("PAID", decoy("status"))],
                header=["RESERVATION_ID", "EVENT_ID", "SEATS", "STATUS"],
                rows=[[cell(x, "reservation:" + x), cell(str(rng.randint(100000, 199999))),
                       cell(str(rng.randint(1, 6))), cell("PAID")] for x in shown])
    chosen = shown[w.pick_row(len(shown))]
    r.statement("booking_detail", ["SELECT * FROM reservations WHERE reservation_id = ",
                                   n(chosen, true("reservation:" + chosen)), " AND member_id = ",
                                   n(s["member"], true("member"))])


def tickets_logout(r, w, s):
    r.statement("logout", ["DELETE FROM member_sessions WHERE session_key = ", q(s["key"], true("session")),
                           " AND email = ", q(s["email"], decoy("echo"))])


SHAPE_STEPS = {
    "orders": ("Order entry", orders_login, orders_business, orders_logout),
    "banking": ("Banking transfers", banking_login, banking_business, banking_logout),
    "tickets": ("Ticket booking", tickets_login, tickets_business, tickets_logout),
}


def generate(shape, family, seed, size, out_dir):
    rng = random.Random("%s/%s/%d" % (shape, family, seed))
    title, login, business, logout = SHAPE_STEPS[shape]
    r = rec.Recording(rng, family, RECORDSET_SHARE)
    w = World(rng)
    split_into_files(r, w, size, login, business, logout)
    return r.write(out_dir, shape, "%s (%s), seed %d" % (title, family, seed), shape, seed)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--shape", choices=SHAPES, required=True)
    parser.add_argument("--family", choices=FAMILIES, required=True)
    parser.add_argument("--seed", type=int, required=True)
    parser.add_argument("--size", type=int, default=DEFAULT_SIZE,
                        help="business transactions in the session (default %d)" % DEFAULT_SIZE)
    parser.add_argument("--out", required=True, help="directory to write the project into")
    args = parser.parse_args(argv)
    if args.size < 1:
        parser.error("--size must be at least 1")
    truth = generate(args.shape, args.family, args.seed, args.size, args.out)
    print("%s: %d script lines, %d grid cells, %d true correlations, %d decoys"
          % (args.out, truth["script_lines"], truth["grid_cells"], len(truth["correlations"]),
             len(truth["decoys"])))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
