#!/usr/bin/env python3
"""Generates a large, realistic recorded script project for the benchmarks.

The project looks like the recording of a long order-entry session: action
files full of recorded calls (statements with SQL text, executes, bound and
assigned values, fetches into result grids), comments and #include lines,
and the result grids stored beside the scripts (one .rdf with a .grd per
directory) or embedded as RECORDSET comments.

Values are distributed the way real recordings distribute them: a few
values are everywhere (0, 1, Y, N, today's date, status words, the clerks'
ids), most identifiers are unique (order ids, session tokens, GUIDs), and many
of the unique ones are returned by a grid and sent again by a later statement
(the correlations the library is meant to find). Loops are recorded as the
same statement executed again and again with new bound values.

The output is fully determined by the arguments and the seed. Beside the
project the generator writes "targets": the project's statistics and the
query targets the bench program uses (a statement line with inputs, a
correlated value as sent, and the most common returned value as sent).

Usage: generate_project.py --lines 100000 --files 20 --seed 1 --out DIR
"""

import argparse
import datetime
import math
import os
import random
import sys
import uuid

# How many script lines lie, on average, between two grid references, and
# how many cells a grid holds on average: 1M lines give about 5,000 grid
# references and 500,000 cells.
DEFAULT_LINES_PER_GRID = 200
DEFAULT_CELLS_PER_GRID = 100
# Action files sharing one directory, and so one result-data file.
FILES_PER_DIRECTORY = 10
# Share of grid references that are recordsets embedded in the action file.
RECORDSET_SHARE = 0.05
MAX_GRID_ROWS = 200
MAX_RECORDSET_ROWS = 20
# Lines of a recordset comment besides one per row and three per column.
RECORDSET_FIXED_LINES = 14
FUNCTION_LINES = (80, 400)
TODAY = datetime.date(2026, 12, 8)
DATE_WINDOW_DAYS = 60

FIRST_NAMES = [
    "Anna", "Bernd", "Clara", "David", "Elena", "Frank", "Greta", "Hugo", "Ines", "Jonas",
    "Karin", "Lukas", "Maria", "Nils", "Olga", "Paul", "Rita", "Stefan", "Tanja", "Uwe",
]
LAST_NAMES = [
    "Hartmann", "Novak", "Keller", "Brandt", "Vogel", "Lindner", "Moreau", "Rossi", "Kowalski",
    "Jansen", "Berger", "Fischer", "Schulz", "Wagner", "Becker", "Hofmann", "Richter", "Klein",
    "Wolf", "Neumann", "Schwarz", "Zimmermann", "Braun", "Krueger", "Hartwig", "Lang", "Weber",
    "Meyer", "Peters", "Sommer",
]
COMPANY_SUFFIXES = ["Supplies", "Trading", "GmbH", "& Sons, Ltd.", "Logistics", "Partners",
                    "Wholesale", "Import/Export", "AG", "Handel"]
CITIES = [
    "Leipzig", "Bremen", "Hamburg", "Dresden", "Kassel", "Mainz", "Bonn", "Essen", "Kiel", "Ulm",
    "Trier", "Jena", "Passau", "Rostock", "Erfurt", "Potsdam", "Aachen", "Muenster", "Lyon",
    "Graz", "Linz", "Basel", "Bern", "Gent", "Brno", "Poznan", "Turin", "Verona", "Lille", "Metz",
]
ORDER_STATUS = [("OPEN", 40), ("SHIPPED", 25), ("CLOSED", 15), ("PENDING", 12), ("CANCELLED", 8)]
ROLES = [("CLERK", 70), ("SUPERVISOR", 20), ("ADMIN", 10)]
CARRIERS = ["DHL", "GLS", "DPD", "UPS", "HERMES", "POST"]
EVENTS = ["ORDER_OPENED", "ORDER_UPDATED", "LINE_ADDED", "ORDER_SUBMITTED", "CUSTOMER_VIEWED",
          "STOCK_CHECKED", "SHIPMENT_BOOKED"]
NOTES = ["call before delivery", "deliver to rear entrance", "invoice by mail",
         "customer requested express", "partial delivery accepted", "check credit limit"]


class Vocabulary:
    """The recorded world: customers, items, clerks and orders, and how the
    values of their columns are drawn. Entities keep their values, so a
    customer's name and city repeat wherever the customer is returned."""

    def __init__(self, rng, lines):
        self.rng = rng
        self.dates = [(TODAY - datetime.timedelta(days=d)).isoformat()
                      for d in range(DATE_WINDOW_DAYS)]
        # Today dominates, the recent past follows; old dates are rare.
        self.date_weights = [40.0] + [8.0 / (1 + d) for d in range(1, DATE_WINDOW_DAYS)]
        self.clerks = [self._new_clerk(i) for i in range(40)]
        self.customers = [self._new_customer(10000 + 3 * i + rng.randrange(3))
                          for i in range(max(200, lines // 40))]
        self.items = [self._new_item(3000 + i) for i in range(max(100, lines // 150))]
        self.orders = []
        self.next_order_id = 900000 + rng.randrange(1000)
        self.next_line_id = 5000000

    def weighted(self, pairs):
        values = [v for v, _ in pairs]
        weights = [w for _, w in pairs]
        return self.rng.choices(values, weights)[0]

    def date(self):
        return self.rng.choices(self.dates, self.date_weights)[0]

    def timestamp(self):
        return "%s %02d:%02d:%02d" % (self.date(), self.rng.randrange(7, 19),
                                      self.rng.randrange(60), self.rng.randrange(60))

    def guid(self):
        return str(uuid.UUID(int=self.rng.getrandbits(128))).upper()

    def token(self):
        return "TK-%06X" % self.rng.getrandbits(24)

    def amount(self, low=1.0, high=5000.0):
        return "%.2f" % self.rng.uniform(low, high)

    def flag(self, yes_share=0.8):
        return "Y" if self.rng.random() < yes_share else "N"

    def bit(self, one_share=0.3):
        return "1" if self.rng.random() < one_share else "0"

    def _new_clerk(self, i):
        first = FIRST_NAMES[i % len(FIRST_NAMES)]
        last = LAST_NAMES[(i * 7) % len(LAST_NAMES)]
        return {"USER_ID": str(10400 + i), "LOGIN": (first[0] + last).lower(),
                "ROLE": self.weighted(ROLES), "ACTIVE": self.flag(0.95)}

    def _new_customer(self, cust_id):
        rng = self.rng
        name = "%s %s" % (rng.choice(LAST_NAMES), rng.choice(COMPANY_SUFFIXES))
        return {"CUST_ID": str(cust_id), "NAME": name, "CITY": rng.choice(CITIES),
                "REGION": str(rng.randrange(1, 10)), "ACTIVE": self.flag(0.9),
                "CREDIT_LIMIT": str(rng.choice([1000, 2500, 5000, 10000, 25000])),
                "CONTACT": "%s %s" % (rng.choice(FIRST_NAMES), rng.choice(LAST_NAMES)),
                "VAT_ID": "DE%09d" % rng.randrange(10 ** 9)}

    def _new_item(self, item_id):
        rng = self.rng
        return {"ITEM_ID": str(item_id), "SKU": "%s-%03d" % (
                    rng.choice(["AX", "BX", "CX", "KM", "TR", "ZL"]), item_id % 1000),
                "UNIT_PRICE": self.amount(0.5, 250.0), "IN_STOCK": self.flag(0.85),
                "WAREHOUSE": str(rng.randrange(1, 6)), "UNIT": rng.choice(["PCS", "BOX", "KG"])}

    def new_order(self, customer=None):
        self.next_order_id += 1 + self.rng.randrange(3)
        customer = customer or self.rng.choice(self.customers)
        order = {"ORDER_ID": str(self.next_order_id), "CUST_ID": customer["CUST_ID"],
                 "STATUS": self.weighted(ORDER_STATUS),
                 "CLERK_ID": self.rng.choice(self.clerks)["USER_ID"],
                 "TOTAL": self.amount(), "CREATED_AT": self.date(), "PAID": self.flag(0.6),
                 "PRIORITY": self.bit(0.2), "VERSION": str(self.rng.randrange(1, 4))}
        # A nullable column left empty now and then.
        if self.rng.random() < 0.05:
            order["CLERK_ID"] = ""
        self.orders.append(order)
        return order

    def some_order(self, customer=None):
        """An order returned before half of the time, a new one otherwise."""
        if self.orders and self.rng.random() < 0.45:
            return self.rng.choice(self.orders[-2000:])
        return self.new_order(customer)

    def order_line(self, order, line_no):
        item = self.rng.choice(self.items)
        self.next_line_id += 1
        return {"LINE_ID": str(self.next_line_id), "ORDER_ID": order["ORDER_ID"],
                "LINE_NO": str(line_no), "ITEM_ID": item["ITEM_ID"],
                "QTY": str(self.rng.choice([1, 1, 1, 2, 2, 3, 5, 10, 12, 20])),
                "PRICE": item["UNIT_PRICE"], "SHIPPED": self.flag(0.5)}

    def shipment(self):
        order = self.some_order()
        return {"SHIPMENT_ID": self.guid(), "ORDER_ID": order["ORDER_ID"],
                "CARRIER": self.rng.choice(CARRIERS), "SHIP_DATE": self.date(),
                "TRACKING_NO": "TRK%012d" % self.rng.randrange(10 ** 12),
                "DELIVERED": self.flag(0.3)}


def csv_field(text):
    if any(c in text for c in ',"\r\n'):
        return '"' + text.replace('"', '""') + '"'
    return text


def xml_attribute(text):
    return (text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;"))


def c_string(text):
    return text.replace("\\", "\\\\").replace('"', '\\"')


def sql_literal(text):
    return "'" + text.replace("'", "''") + "'"


class GridStore:
    """The result-data file of one directory: grids in the order their
    numbers were handed out."""

    def __init__(self, directory, name):
        self.directory = directory
        self.name = name
        self.next_number = 1
        self.sections = []
        self.numbers = []

    def take_number(self):
        number = self.next_number
        self.next_number += 1
        return number

    def add(self, number, columns, rows):
        lines = ["[grid %d]" % number, ",".join(columns)]
        for row in rows:
            lines.append(",".join(csv_field(row.get(c, "")) for c in columns))
        self.sections.append("\n".join(lines) + "\n")
        self.numbers.append(number)

    def write(self):
        rdf = os.path.join(self.directory, self.name + ".rdf")
        with open(rdf, "w", newline="\n") as out:
            out.write("# Result grids the server returned during the recording, one [grid N]\n")
            out.write("# section per fetch. The first line of a grid names its columns.\n")
            out.write("\n".join(self.sections))
        with open(os.path.join(self.directory, self.name + ".grd"), "w", newline="\n") as out:
            out.write("grid index of %s.rdf\n" % self.name)
            out.write("".join("%d\n" % n for n in self.numbers))
        return os.path.getsize(rdf)


# Columns a query of each table may return; the first is the key, the rest
# are picked in order. Query shapes: the table, the FROM/WHERE text builder.
TABLE_COLUMNS = {
    "customers": ["CUST_ID", "NAME", "CITY", "REGION", "ACTIVE", "CREDIT_LIMIT", "CONTACT",
                  "VAT_ID"],
    "orders": ["ORDER_ID", "CUST_ID", "STATUS", "CLERK_ID", "TOTAL", "CREATED_AT", "PAID",
               "PRIORITY", "VERSION"],
    "items": ["ITEM_ID", "SKU", "UNIT_PRICE", "IN_STOCK", "WAREHOUSE", "UNIT"],
    "order_lines": ["LINE_ID", "ORDER_ID", "LINE_NO", "ITEM_ID", "QTY", "PRICE", "SHIPPED"],
    "shipments": ["SHIPMENT_ID", "ORDER_ID", "CARRIER", "SHIP_DATE", "TRACKING_NO",
                  "DELIVERED"],
}


class ActionFile:
    """One action file being written: its lines, its cursor numbering and the
    recordsets to append after its last function."""

    def __init__(self, relative_path, number):
        self.relative_path = relative_path
        self.number = number
        self.lines = []
        self.next_cursor = 1
        self.recordsets = []
        self.function_count = 0

    def line_number(self):
        """Number of the next line to be written."""
        return len(self.lines) + 1

    def cursor(self):
        name = "Csr%d" % self.next_cursor
        self.next_cursor += 1
        return name

    def emit(self, text):
        self.lines.append(text)


class ProjectGenerator:
    def __init__(self, args):
        self.args = args
        self.rng = random.Random(args.seed)
        self.vocabulary = Vocabulary(self.rng, args.lines)
        self.total_lines = 0
        self.grid_refs = 0
        self.recordset_refs = 0
        self.cells = 0
        self.output_counts = {}
        self.pending = []          # follow-up blocks scheduled by the last queries
        self.session_token = None
        self.clerk = self.vocabulary.clerks[0]
        self.last_file_inputs = []  # (value, line) of the last action file
        self.cursor_target = None
        self.token_target = None
        self.action = None
        self.store = None

    # ---- small emitters ---------------------------------------------------

    def note_input(self, value, line):
        if self.action.number == self.args.files:
            self.last_file_inputs.append((value, line))

    def statement(self, cursor, sql_parts, literals=()):
        """Writes a statement call whose SQL text may run over several
        lines; literals are (value, part index) for the inputs it sends."""
        a = self.action
        first = a.line_number()
        indent = " " * (len("    sqx_stmt(") + len(cursor) + 2)
        for i, part in enumerate(sql_parts):
            prefix = "    sqx_stmt(%s, " % cursor if i == 0 else indent
            suffix = ", -1, 1, 0, 0);" if i == len(sql_parts) - 1 else ""
            a.emit('%s"%s"%s' % (prefix, c_string(part), suffix))
        for value, part in literals:
            self.note_input(value, first + part)
        return first

    def bind(self, cursor, placeholder, value):
        line = self.action.line_number()
        self.action.emit('    sqx_assign_bind(%s, ":%d", "%s", 0);' % (
            cursor, placeholder, c_string(value)))
        self.note_input(value, line)
        return line

    def assign(self, cursor, value):
        line = self.action.line_number()
        self.action.emit('    sqx_assign(%s, "%s", 0);' % (cursor, c_string(value)))
        self.note_input(value, line)
        return line

    def execute(self, cursor):
        self.action.emit("    sqx_exec(%s, 0, 0);" % cursor)

    def comment(self, text):
        if self.rng.random() < 0.5:
            self.action.emit("    /* %s */" % text)
        else:
            self.action.emit("    // %s" % text)

    # ---- grids ------------------------------------------------------------

    def grid_rows(self, recordset):
        """Row count of the next grid. The share of large grids follows the
        cell deficit, so the project approaches its cells-per-grid target
        whatever the column counts happen to be."""
        rng = self.rng
        limit = MAX_RECORDSET_ROWS if recordset else MAX_GRID_ROWS
        deficit = self.args.cells_per_grid * (self.grid_refs + 1) - self.cells
        large_share = min(0.9, max(0.05, 0.3 + deficit / (self.args.cells_per_grid * 20.0)))
        draw = rng.random()
        if draw < large_share:
            rows = int(math.exp(rng.uniform(math.log(11), math.log(limit + 1))))
        elif draw < large_share + (1 - large_share) / 2:
            rows = rng.randrange(2, 11)
        else:
            rows = 1
        return max(1, min(limit, rows))

    def pick_columns(self, table):
        columns = TABLE_COLUMNS[table]
        count = self.rng.randrange(3, min(8, len(columns)) + 1)
        return columns[:count]

    def fetch(self, cursor, columns, rows, recordset=False):
        """Writes the fetch line, stores the grid (or keeps the recordset for
        the end of the file) and counts its cells."""
        a = self.action
        number = self.store.take_number()
        word = "RECORDSET_XML" if recordset else "GRID"
        a.emit("    sqx_fetch(%s, %d, %s(%d));" % (cursor, len(rows), word, number))
        if recordset:
            a.recordsets.append((number, columns, rows))
            self.recordset_refs += 1
            # The recordset comment is written at the end of the file; its
            # lines count towards the project's size.
            self.total_lines += RECORDSET_FIXED_LINES + 3 * len(columns) + len(rows)
        else:
            self.store.add(number, columns, rows)
        self.grid_refs += 1
        for row in rows:
            for c in columns:
                value = row.get(c, "")
                if value:
                    self.cells += 1
                    self.output_counts[value] = self.output_counts.get(value, 0) + 1

    def query_rows(self, table, count):
        v = self.vocabulary
        rng = self.rng
        if table == "customers":
            start = rng.randrange(len(v.customers))
            return [v.customers[(start + i * 7) % len(v.customers)] for i in range(count)]
        if table == "orders":
            customer = rng.choice(v.customers)
            rows = {}
            while len(rows) < count:
                order = v.some_order(customer if rng.random() < 0.5 else None)
                rows.setdefault(order["ORDER_ID"], order)
            return list(rows.values())
        if table == "items":
            start = rng.randrange(len(v.items))
            return [v.items[(start + i) % len(v.items)] for i in range(count)]
        if table == "order_lines":
            order = v.some_order()
            return [v.order_line(order, i + 1) for i in range(count)]
        return [v.shipment() for _ in range(count)]

    def query_block(self):
        """A SELECT whose result the recording stored as a grid, and the
        follow-up statements that use what it returned."""
        a = self.action
        v = self.vocabulary
        rng = self.rng
        table = rng.choice(["customers", "orders", "orders", "items", "order_lines",
                            "shipments"])
        columns = self.pick_columns(table)
        recordset = rng.random() < RECORDSET_SHARE
        rows = self.query_rows(table, self.grid_rows(recordset))
        cursor = a.cursor()
        select = "SELECT %s FROM %s " % (", ".join(c.lower() for c in columns), table)
        if rng.random() < 0.4:
            self.comment("look up %s" % table.replace("_", " "))
        if table == "customers":
            prefix = rows[0]["NAME"][:3]
            region = rows[0]["REGION"]
            self.statement(cursor, [select, "WHERE name LIKE '%s%%' AND region = %s "
                                            "ORDER BY cust_id" % (prefix, region)],
                           [(prefix + "%", 1), (region, 1)])
            self.execute(cursor)
        elif table == "orders":
            status = rows[0]["STATUS"]
            cust = rows[0]["CUST_ID"]
            self.statement(cursor, [select, "WHERE cust_id = :1 AND status = %s "
                                            "AND created_at >= '%s'" % (
                                                sql_literal(status), v.dates[7])],
                           [(status, 1), (v.dates[7], 1)])
            self.bind(cursor, 1, cust)
            self.execute(cursor)
        elif table == "items":
            self.statement(cursor, [select + "WHERE warehouse = %s AND in_stock = 'Y' "
                                    "AND ROWNUM <= %d" % (rows[0]["WAREHOUSE"], MAX_GRID_ROWS)],
                           [(rows[0]["WAREHOUSE"], 0), ("Y", 0), (str(MAX_GRID_ROWS), 0)])
            self.execute(cursor)
        elif table == "order_lines":
            order_id = rows[0]["ORDER_ID"]
            self.statement(cursor, [select, "WHERE order_id = %s ORDER BY line_no" % order_id],
                           [(order_id, 1)])
            self.execute(cursor)
        else:
            day = rows[0]["SHIP_DATE"]
            self.statement(cursor, [select, "WHERE ship_date = :1 AND delivered = 'N'"],
                           [("N", 1)])
            self.bind(cursor, 1, day)
            self.execute(cursor)
        self.fetch(cursor, columns, rows, recordset)
        self.schedule_follow_ups(table, columns, rows)

    def login_block(self):
        """Logs a clerk in: one row with a fresh session token that the
        statements after it send again and again."""
        a = self.action
        v = self.vocabulary
        self.clerk = self.rng.choice(v.clerks)
        self.session_token = v.guid() if self.rng.random() < 0.5 else v.token()
        cursor = a.cursor()
        self.comment("log in as %s" % self.clerk["LOGIN"])
        self.statement(cursor, ["SELECT user_id, session_token, role, active FROM app_users ",
                                "WHERE login = %s AND active = 'Y'" % sql_literal(
                                    self.clerk["LOGIN"])],
                       [(self.clerk["LOGIN"], 1), ("Y", 1)])
        self.execute(cursor)
        row = dict(self.clerk, SESSION_TOKEN=self.session_token)
        self.fetch(cursor, ["USER_ID", "SESSION_TOKEN", "ROLE", "ACTIVE"], [row])

    def sequence_block(self):
        """Takes the next order id from a sequence and inserts the order."""
        a = self.action
        v = self.vocabulary
        cursor = a.cursor()
        self.statement(cursor, ["SELECT orders_seq.NEXTVAL FROM dual"])
        self.execute(cursor)
        order = v.new_order()
        self.fetch(cursor, ["NEXTVAL"], [{"NEXTVAL": order["ORDER_ID"]}])
        self.pending.append(("insert_order", order))

    # ---- follow-ups -------------------------------------------------------

    def schedule_follow_ups(self, table, columns, rows):
        rng = self.rng
        used = rows[:rng.randrange(1, min(len(rows), 6) + 1)]
        if table == "orders":
            kind = "update_orders_bound" if rng.random() < 0.6 else "update_orders_literal"
            self.pending.append((kind, used))
        elif table == "customers":
            self.pending.append(("touch_customer", used[0]))
        elif table == "items":
            self.pending.append(("add_lines", used))
        elif table == "order_lines":
            self.pending.append(("update_lines", used))
        else:
            self.pending.append(("deliver", used))

    def follow_up(self, kind, data):
        a = self.action
        v = self.vocabulary
        rng = self.rng
        cursor = a.cursor()
        if kind == "update_orders_bound":
            # A recorded loop: one statement, executed once per row used.
            site = self.statement(cursor, [
                "UPDATE orders SET status = :1, clerk_id = :2, updated_at = :3 ",
                "WHERE order_id = :4 AND version = :5"])
            for order in data:
                self.bind(cursor, 1, v.weighted(ORDER_STATUS))
                self.bind(cursor, 2, self.clerk["USER_ID"])
                self.bind(cursor, 3, v.date())
                id_line = self.bind(cursor, 4, order["ORDER_ID"])
                self.bind(cursor, 5, order["VERSION"])
                self.execute(cursor)
            # The last such loop of the project is the query target: its
            # inputs have the most earlier outputs to be graded against.
            self.cursor_target = (a.relative_path, site)
            self.token_target = (order["ORDER_ID"], a.relative_path, id_line)
        elif kind == "update_orders_literal":
            for order in data:
                status = v.weighted(ORDER_STATUS)
                self.statement(cursor, [
                    "UPDATE orders SET status = %s, paid = 'Y' " % sql_literal(status),
                    "WHERE order_id = %s" % order["ORDER_ID"]],
                    [(status, 0), ("Y", 0), (order["ORDER_ID"], 1)])
                self.execute(cursor)
        elif kind == "touch_customer":
            self.statement(cursor, ["UPDATE customers SET last_contact = :1, note = :2 ",
                                    "WHERE cust_id = :3"])
            self.bind(cursor, 1, v.timestamp())
            self.bind(cursor, 2, rng.choice(NOTES))
            self.bind(cursor, 3, data["CUST_ID"])
            self.execute(cursor)
        elif kind == "add_lines":
            order = v.some_order()
            self.statement(cursor, [
                "INSERT INTO order_lines (order_id, line_no, item_id, qty, price) ",
                "VALUES (:1, :2, :3, :4, :5)"])
            for i, item in enumerate(data):
                self.bind(cursor, 1, order["ORDER_ID"])
                self.bind(cursor, 2, str(i + 1))
                self.bind(cursor, 3, item["ITEM_ID"])
                self.bind(cursor, 4, str(rng.choice([1, 2, 3, 5, 10])))
                self.bind(cursor, 5, item["UNIT_PRICE"])
                self.execute(cursor)
        elif kind == "update_lines":
            self.statement(cursor, ["UPDATE order_lines SET qty = :1 WHERE line_id = :2"])
            for line in data:
                self.bind(cursor, 1, str(rng.choice([1, 2, 3, 4, 6])))
                self.bind(cursor, 2, line["LINE_ID"])
                self.execute(cursor)
        elif kind == "deliver":
            for shipment in data:
                self.statement(cursor, [
                    "UPDATE shipments SET delivered = 'Y', delivered_at = SYSDATE ",
                    "WHERE shipment_id = %s" % sql_literal(shipment["SHIPMENT_ID"])],
                    [("Y", 0), (shipment["SHIPMENT_ID"], 1)])
                self.execute(cursor)
        elif kind == "insert_order":
            self.statement(cursor, [
                "INSERT INTO orders (order_id, cust_id, status, clerk_id, created_at, paid) ",
                "VALUES (:1, :2, :3, :4, :5, :6)"])
            self.bind(cursor, 1, data["ORDER_ID"])
            self.bind(cursor, 2, data["CUST_ID"])
            self.bind(cursor, 3, "OPEN")
            self.bind(cursor, 4, self.clerk["USER_ID"])
            self.bind(cursor, 5, v.date())
            self.assign(cursor, "N")
            self.execute(cursor)

    # ---- filler: statements that return nothing --------------------------

    def filler_block(self):
        a = self.action
        v = self.vocabulary
        rng = self.rng
        draw = rng.random()
        if draw < 0.25:
            cursor = a.cursor()
            self.statement(cursor, [
                "INSERT INTO audit_log (event_id, session_token, user_id, event, created_at) ",
                "VALUES (:1, :2, :3, :4, :5)"])
            self.bind(cursor, 1, v.guid())
            self.bind(cursor, 2, self.session_token or v.token())
            self.bind(cursor, 3, self.clerk["USER_ID"])
            self.bind(cursor, 4, rng.choice(EVENTS))
            self.bind(cursor, 5, v.timestamp())
            self.execute(cursor)
        elif draw < 0.5:
            cursor = a.cursor()
            customer = rng.choice(v.customers)
            note = rng.choice(NOTES)
            self.statement(cursor, ["UPDATE customers SET note = %s WHERE cust_id = %s" % (
                sql_literal(note), customer["CUST_ID"])],
                [(note, 0), (customer["CUST_ID"], 0)])
            self.execute(cursor)
        elif draw < 0.62:
            cursor = a.cursor()
            self.statement(cursor, ["UPDATE app_sessions SET last_seen = SYSDATE, ",
                                    "terminal = :1 WHERE token = :2"])
            self.assign(cursor, "WS-%02d" % rng.randrange(1, 30))
            self.assign(cursor, self.session_token or v.token())
            self.execute(cursor)
        elif draw < 0.72:
            cursor = a.cursor()
            count = rng.randrange(1, 5)
            self.statement(cursor, ["INSERT INTO stock_moves (item_id, qty, warehouse, moved_on) "
                                    "VALUES (:1, :2, :3, :4)"])
            for _ in range(count):
                item = rng.choice(v.items)
                self.bind(cursor, 1, item["ITEM_ID"])
                self.bind(cursor, 2, str(-rng.randrange(1, 20)))
                self.bind(cursor, 3, item["WAREHOUSE"])
                self.bind(cursor, 4, v.date())
                self.execute(cursor)
        elif draw < 0.8:
            a.emit("    sqx_commit(Csr0);")
        elif draw < 0.87:
            a.emit("    sqx_think_time(%d);" % rng.randrange(1, 10))
        elif draw < 0.93:
            self.comment("recorded %s" % v.timestamp())
        else:
            a.emit("")

    # ---- files ------------------------------------------------------------

    def open_function(self):
        a = self.action
        a.function_count += 1
        a.emit("")
        a.emit("/* Step %d of action %d, recorded %s. */" % (
            a.function_count, a.number, self.vocabulary.timestamp()))
        a.emit("int Action%d_%d()" % (a.number, a.function_count))
        a.emit("{")

    def close_function(self):
        self.action.emit("    return 0;")
        self.action.emit("}")

    def next_block(self):
        lines_per_grid = self.args.lines_per_grid
        due = (self.total_lines + len(self.action.lines)) / lines_per_grid
        if self.grid_refs < due:
            draw = self.rng.random()
            if draw < 0.06 or self.session_token is None:
                self.login_block()
            elif draw < 0.14:
                self.sequence_block()
            else:
                self.query_block()
        elif self.pending and self.rng.random() < 0.7:
            kind, data = self.pending.pop(0)
            self.follow_up(kind, data)
        else:
            self.filler_block()

    def write_recordsets(self):
        a = self.action
        for number, columns, rows in a.recordsets:
            a.emit("")
            a.emit("/* RECORDSET %d" % number)
            a.emit('<xml xmlns:s="uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882"')
            a.emit('\txmlns:dt="uuid:C2F41010-65B3-11d1-A29F-00AA00C14882"')
            a.emit('\txmlns:rs="urn:schemas-microsoft-com:rowset"')
            a.emit('\txmlns:z="#RowsetSchema">')
            a.emit('<s:Schema id="RowsetSchema">')
            a.emit('\t<s:ElementType name="row" content="eltOnly">')
            for i, c in enumerate(columns):
                a.emit('\t\t<s:AttributeType name="%s" rs:number="%d">' % (c, i + 1))
                a.emit('\t\t\t<s:datatype dt:type="string" dt:maxLength="64"/>')
                a.emit("\t\t</s:AttributeType>")
            a.emit("\t</s:ElementType>")
            a.emit("</s:Schema>")
            a.emit("<rs:data>")
            for row in rows:
                attributes = " ".join('%s="%s"' % (c, xml_attribute(row[c]))
                                      for c in columns if row.get(c))
                a.emit("\t<z:row %s/>" % attributes)
            a.emit("</rs:data>")
            a.emit("</xml>")
            a.emit("*/")

    def write_action_file(self, number, lines_wanted):
        directory_index = (number - 1) // FILES_PER_DIRECTORY + 1
        part = "part%02d" % directory_index
        relative = "scripts/%s/Action%d.c" % (part, number)
        directory = os.path.join(self.args.out, "scripts", part)
        if self.store is None or self.store.directory != directory:
            if self.store is not None:
                self.grid_bytes += self.store.write()
            os.makedirs(directory, exist_ok=True)
            self.store = GridStore(directory, part)
        self.action = a = ActionFile(relative, number)
        a.emit('#include "sqx.h"')
        a.emit('#include "globals.h"')
        a.emit("")
        a.emit("/* Action %d of the recorded order-entry session. */" % number)
        start_lines = self.total_lines
        function_end = 0
        while True:
            # Recordset comments written at the end count from the start.
            written = self.total_lines - start_lines + len(a.lines)
            if written + 2 >= lines_wanted:
                break
            if len(a.lines) >= function_end:
                if a.function_count:
                    self.close_function()
                self.open_function()
                function_end = len(a.lines) + self.rng.randrange(*FUNCTION_LINES)
            self.next_block()
        self.close_function()
        self.write_recordsets()
        path = os.path.join(self.args.out, relative)
        text = "\n".join(a.lines) + "\n"
        with open(path, "w", newline="\n") as out:
            out.write(text)
        self.total_lines = start_lines + len(a.lines)
        self.action_bytes += len(text.encode())
        return relative

    def generate(self):
        args = self.args
        os.makedirs(args.out, exist_ok=True)
        self.action_bytes = 0
        self.grid_bytes = 0
        relatives = []
        for number in range(1, args.files + 1):
            # Spread the lines evenly; the last file takes the remainder.
            wanted = (args.lines - self.total_lines) // (args.files - number + 1)
            relatives.append(self.write_action_file(number, wanted))
        if self.store is not None:
            self.grid_bytes += self.store.write()
        with open(os.path.join(args.out, "bench.prj"), "w", newline="\n") as out:
            out.write("; Generated benchmark project: %d script lines in %d action files, "
                      "seed %d.\n" % (args.lines, args.files, args.seed))
            out.write("[General]\nName=Benchmark order entry\n\n[Actions]\n")
            for number, relative in enumerate(relatives, 1):
                out.write("step%d=%s\n" % (number, relative))
        self.write_targets()

    def common_input(self):
        """The input of the last file whose value the grids return most."""
        best = None
        for value, line in self.last_file_inputs:
            count = self.output_counts.get(value, 0)
            if best is None or count > best[0]:
                best = (count, value, line)
        return best

    def write_targets(self):
        last = "scripts/part%02d/Action%d.c" % ((self.args.files - 1) // FILES_PER_DIRECTORY + 1,
                                                 self.args.files)
        lines = [
            "# Statistics and query targets of the generated project (paths are",
            "# relative to the project directory).",
            "lines=%d" % self.total_lines,
            "files=%d" % self.args.files,
            "seed=%d" % self.args.seed,
            "grid_refs=%d" % self.grid_refs,
            "recordset_refs=%d" % self.recordset_refs,
            "cells=%d" % self.cells,
            "distinct_output_values=%d" % len(self.output_counts),
            "action_bytes=%d" % self.action_bytes,
            "grid_bytes=%d" % self.grid_bytes,
        ]
        if self.cursor_target:
            lines.append("cursor_file=%s" % self.cursor_target[0])
            lines.append("cursor_line=%d" % self.cursor_target[1])
        if self.token_target:
            lines.append("token_value=%s" % self.token_target[0])
            lines.append("token_file=%s" % self.token_target[1])
            lines.append("token_line=%d" % self.token_target[2])
        common = self.common_input()
        if common:
            lines.append("common_value=%s" % common[1])
            lines.append("common_file=%s" % last)
            lines.append("common_line=%d" % common[2])
            lines.append("common_value_cells=%d" % common[0])
        with open(os.path.join(self.args.out, "targets"), "w", newline="\n") as out:
            out.write("\n".join(lines) + "\n")


# The frequent-values profile: every action file fetches its own grid of
# FREQUENT_GRID_ROWS rows whose columns hold an id, a key and three values
# every grid returns, then binds FREQUENT_BINDS values drawn from those three
# and from its grid's ids and keys. Each input of a frequent value pairs with
# every earlier output of it, so a search that reports all candidates
# writes many pairs per input.
FREQUENT_GRID_ROWS = 41
FREQUENT_BINDS = 60
FREQUENT_COLUMNS = ["ROW_ID", "ROW_KEY", "ACTIVE", "QTY", "CURRENCY"]
FREQUENT_CONSTANTS = {"ACTIVE": "Y", "QTY": "1", "CURRENCY": "USD"}


def generate_frequent_values(args):
    rng = random.Random(args.seed)
    os.makedirs(args.out, exist_ok=True)
    relatives = []
    store = None
    total_lines = 0
    cells = 0
    action_bytes = 0
    for number in range(1, args.files + 1):
        part = "part%02d" % ((number - 1) // FILES_PER_DIRECTORY + 1)
        directory = os.path.join(args.out, "scripts", part)
        if store is None or store.directory != directory:
            if store is not None:
                store.write()
            os.makedirs(directory, exist_ok=True)
            store = GridStore(directory, part)
        grid = store.take_number()
        rows = []
        for row in range(FREQUENT_GRID_ROWS):
            values = {"ROW_ID": "%d%05d" % (number, row), "ROW_KEY": "K-%d-%d" % (number, row)}
            values.update(FREQUENT_CONSTANTS)
            rows.append(values)
        store.add(grid, FREQUENT_COLUMNS, rows)
        cells += len(rows) * len(FREQUENT_COLUMNS)
        lines = ['#include "sqx.h"', "",
                 "/* Action %d: posts a batch of the ledger rows it read. */" % number,
                 "Action%d()" % number, "{",
                 '    sqx_stmt(Csr1, "SELECT %s FROM ledger WHERE batch = %d", -1, 1, 0, 0);'
                 % (", ".join(FREQUENT_COLUMNS), number),
                 "    sqx_exec(Csr1, 0, 0);",
                 "    sqx_fetch(Csr1, %d, GRID(%d));" % (len(rows), grid),
                 '    sqx_stmt(Csr2, "INSERT INTO postings VALUES (:1)", -1, 1, 0, 0);']
        choices = list(FREQUENT_CONSTANTS.values())
        for placeholder in range(1, FREQUENT_BINDS + 1):
            row = rng.choice(rows)
            value = rng.choice(choices + [row["ROW_ID"], row["ROW_KEY"]])
            lines.append('    sqx_assign_bind(Csr2, ":%d", "%s", 0);' % (placeholder, value))
        lines += ["    sqx_exec(Csr2, 0, 0);", "    return 0;", "}"]
        relative = "scripts/%s/Action%d.c" % (part, number)
        text = "\n".join(lines) + "\n"
        with open(os.path.join(args.out, relative), "w", newline="\n") as out:
            out.write(text)
        relatives.append(relative)
        total_lines += len(lines)
        action_bytes += len(text.encode())
    store.write()
    with open(os.path.join(args.out, "bench.prj"), "w", newline="\n") as out:
        out.write("; Generated frequent-values project: %d action files, seed %d.\n"
                  % (args.files, args.seed))
        out.write("[General]\nName=Benchmark ledger postings\n\n[Actions]\n")
        for number, relative in enumerate(relatives, 1):
            out.write("step%d=%s\n" % (number, relative))
    with open(os.path.join(args.out, "targets"), "w", newline="\n") as out:
        out.write("# Statistics of the generated frequent-values project.\n")
        out.write("lines=%d\nfiles=%d\nseed=%d\ngrid_refs=%d\ncells=%d\naction_bytes=%d\n"
                  % (total_lines, args.files, args.seed, args.files, cells, action_bytes))


def positive(text):
    value = int(text)
    if value <= 0:
        raise argparse.ArgumentTypeError("must be a positive number: %s" % text)
    return value


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--lines", type=positive, required=True, help="script lines in total")
    parser.add_argument("--files", type=positive, required=True, help="number of action files")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--out", required=True, help="directory to write the project into")
    parser.add_argument("--lines-per-grid", type=positive, default=DEFAULT_LINES_PER_GRID)
    parser.add_argument("--cells-per-grid", type=positive, default=DEFAULT_CELLS_PER_GRID)
    parser.add_argument("--profile", choices=["orders", "frequent-values"], default="orders",
                        help="orders: the recorded order-entry session (the default); "
                        "frequent-values: --files small files whose inputs are mostly values "
                        "every grid returns (--lines is then ignored)")
    args = parser.parse_args()
    if args.profile == "frequent-values":
        generate_frequent_values(args)
        return 0
    if args.lines < args.files * 20:
        parser.error("each action file needs at least 20 lines")
    ProjectGenerator(args).generate()
    return 0


if __name__ == "__main__":
    sys.exit(main())
