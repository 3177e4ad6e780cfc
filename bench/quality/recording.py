"""Writing a labelled recorded project: action files, result grids, truth.

A shape (orders, banking, tickets) drives a Recording: it opens action
files, issues statements, binds values and fetches result grids. Every value
the script sends carries a label saying why it is there, and every grid cell
may carry the key of the server-made thing it identifies. From those labels
the recording writes, beside the project, the truth: which sent values are
true correlations and which earlier cells are acceptable sources for each,
and which sent values are decoys (values some earlier grid happens to return
although the script did not learn them from the server) and why.

Line numbers are counted here exactly as the files are written: every
statement's SQL text stays on physical lines of its own (a line break inside
an SQL string would shift the scanner's line count), and recordsets are
stored after the function body.
"""

import json
import os


class Label:
    """Why a sent value is there.

    kind "true": the script learned the value from a grid; key names the
    server-made thing (an order id, a session token) whose cells are the
    acceptable sources. kind "decoy": the value is fixed, typed or echoed,
    and reason says which. kind "plain": a value no grid is meant to return.
    """

    def __init__(self, kind, key=None, reason=None):
        self.kind = kind
        self.key = key
        self.reason = reason


def true(key):
    return Label("true", key=key)


def decoy(reason):
    return Label("decoy", reason=reason)


PLAIN = Label("plain")

# The kinds of decoy the shapes produce; the truth file and the evaluation
# count each kind separately.
DECOY_REASONS = {
    "flag": "a Y/N flag that grids return in many rows",
    "status": "a status code written into the SQL text",
    "constant": "a fixed number of the script (line number, category, limit)",
    "date": "the recording day, which grids return in many rows",
    "typed": "a value the user typed that a grid happens to return too",
    "echo": "a value the script sent first; the grid only returned it back",
    "coincidence": "a value no grid was meant to return that one returns by chance",
}


class Lit:
    """A literal inside SQL text: a number as written, or a quoted text."""

    def __init__(self, value, label, quoted):
        self.value = value
        self.label = label
        self.quoted = quoted

    def text(self):
        return "'%s'" % self.value if self.quoted else self.value


def q(value, label):
    """A single-quoted literal in SQL text."""
    return Lit(value, label, True)


def n(value, label):
    """A number in SQL text."""
    return Lit(value, label, False)


class Cell:
    """A grid cell; key is set when the cell holds a server-made identity."""

    def __init__(self, value, key=None):
        self.value = value
        self.key = key


def cell(value, key=None):
    return Cell(str(value), key)


class ActionFile:
    def __init__(self, name, function):
        self.name = name
        self.function = function
        self.lines = ['#include "sqx.h"', ""]
        self.recordsets = []

    def add(self, text):
        self.lines.append(text)
        return len(self.lines)

    def next_line(self):
        return len(self.lines) + 1


class Recording:
    """One recorded session of one database family, split over action files.

    family "oracle": each statement has its own cursor handle, runs with
    sqx_exec, binds by name (":1"); a statement executed in a loop is
    prepared once and executed again with new binds. family "odbc": one
    statement handle for everything, statements run when prepared, binds by
    position ("1"); a loop prepares the statement again for each run.
    """

    def __init__(self, rng, family, recordset_share):
        self.rng = rng
        self.family = family
        self.recordset_share = recordset_share
        self.files = []
        self.grids = []  # (number, header, rows) of the result-data file
        self.next_grid = 1
        self.inputs = []  # (file, line, value, label)
        self.outputs = []  # (file, line, column, row, value, key)
        self.cursor_count = 0
        self.open_handles = {}

    # --- files -----------------------------------------------------------

    def begin_file(self, comment):
        number = len(self.files) + 1
        action = ActionFile("Action%d.c" % number, "Action%d" % number)
        action.add("")
        action.add("/* %s */" % comment)
        action.add("%s()" % action.function)
        action.add("{")
        self.files.append(action)
        self.open_handles = {}
        return action

    @property
    def current(self):
        return self.files[-1]

    def blank(self):
        self.current.add("")

    def comment(self, text):
        self.current.add("    /* %s */" % text)

    # --- statements -------------------------------------------------------

    def handle(self, purpose):
        """The handle a statement runs on: a new cursor per purpose in a file
        for oracle recordings, always Stmt1 for odbc ones."""
        if self.family == "odbc":
            return "Stmt1"
        if purpose not in self.open_handles:
            self.cursor_count += 1
            self.open_handles[purpose] = "Csr%d" % self.cursor_count
        return self.open_handles[purpose]

    def _send(self, line, value, label):
        self.inputs.append((self.current.name, line, value, label))

    def _sql_lines(self, handle, pieces):
        """Writes sqx_stmt with SQL text split at each "\\n" piece into
        adjacent string literals, one per physical line."""
        segments = [[]]
        for piece in pieces:
            if piece == "\n":
                segments.append([])
            else:
                segments[-1].append(piece)
        indent = " " * len("    sqx_stmt(%s, " % handle)
        for index, segment in enumerate(segments):
            text = "".join(p.text() if isinstance(p, Lit) else p for p in segment)
            last = index == len(segments) - 1
            if index == 0:
                prefix = "    sqx_stmt(%s, " % handle
            else:
                prefix = indent
            if not last:
                text = text.rstrip() + " "
            suffix = ", -1, 1, 0, 0);" if last else ""
            line = self.current.add('%s"%s"%s' % (prefix, text, suffix))
            for p in segment:
                if isinstance(p, Lit):
                    self._send(line, p.value, p.label)

    def _binds(self, handle, binds):
        for position, (value, label) in enumerate(binds, start=1):
            name = ":%d" % position if self.family == "oracle" else "%d" % position
            line = self.current.add('    sqx_assign_bind(%s, "%s", "%s", 0);' % (handle, name, value))
            self._send(line, value, label)

    def statement(self, purpose, pieces, binds=(), header=None, rows=None):
        """Prepares, binds and runs one statement; with a header, fetches the
        rows into a grid (a result-data grid or a recordset). Returns nothing;
        the cells are registered as outputs."""
        handle = self.handle(purpose)
        self._sql_lines(handle, pieces)
        self._binds(handle, binds)
        if self.family == "oracle":
            self.current.add("    sqx_exec(%s, 0, 0);" % handle)
        if header is not None:
            self.fetch(handle, header, rows)

    def loop(self, purpose, pieces_for, runs, header=None, rows_for=None):
        """A statement run once per element of runs, as a recorder unrolls a
        loop: oracle prepares once and executes with new binds each time;
        odbc prepares again each time. pieces_for(run) gives the SQL text
        (only the first run's is written for oracle), run["binds"] the binds."""
        handle = self.handle(purpose)
        for index, run in enumerate(runs):
            if self.family == "odbc" or index == 0:
                self._sql_lines(handle, pieces_for(run))
            self._binds(handle, run["binds"])
            if self.family == "oracle":
                self.current.add("    sqx_exec(%s, 0, 0);" % handle)
            if header is not None:
                self.fetch(handle, header, rows_for(run))

    def fetch(self, handle, header, rows):
        number = self.next_grid
        self.next_grid += 1
        simple = all(_recordset_safe(c.value) for row in rows for c in row)
        as_recordset = simple and rows and self.rng.random() < self.recordset_share
        if as_recordset:
            line = self.current.add("    sqx_fetch(%s, %d, RECORDSET_XML(%d));" % (handle, len(rows), number))
            self.current.recordsets.append((number, header, rows))
        else:
            line = self.current.add("    sqx_fetch(%s, %d, GRID(%d));" % (handle, len(rows), number))
            self.grids.append((number, header, rows))
        for row_number, row in enumerate(rows, start=1):
            column = 0
            for c in row:
                if c.value == "":
                    continue
                column += 1
                self.outputs.append((self.current.name, line, column, row_number, c.value, c.key))

    def end_file(self):
        self.current.add("    return 0;")
        self.current.add("}")

    # --- writing ----------------------------------------------------------

    def write(self, out_dir, project_name, title, shape, seed):
        os.makedirs(out_dir, exist_ok=True)
        for action in self.files:
            lines = list(action.lines)
            for number, header, rows in action.recordsets:
                lines.append("")
                lines.extend(_recordset_lines(number, header, rows))
            with open(os.path.join(out_dir, action.name), "w", newline="\n") as f:
                f.write("\n".join(lines) + "\n")
        with open(os.path.join(out_dir, project_name + ".prj"), "w", newline="\n") as f:
            f.write("; %s, generated for the ranking-quality corpus\n" % title)
            f.write("[General]\nName=%s\n\n[Actions]\n" % title)
            for index, action in enumerate(self.files, start=1):
                f.write("step%02d=%s\n" % (index, action.name))
        with open(os.path.join(out_dir, project_name + ".rdf"), "w", newline="\n") as f:
            f.write("# Result grids the server returned during the recording.\n")
            for number, header, rows in self.grids:
                f.write("[grid %d]\n" % number)
                f.write(",".join(header) + "\n")
                for row in rows:
                    f.write(",".join(_csv_field(c.value) for c in row) + "\n")
                f.write("\n")
        with open(os.path.join(out_dir, project_name + ".grd"), "w", newline="\n") as f:
            f.write("grid index of %s.rdf\n" % project_name)
            for number, _, _ in self.grids:
                f.write("%d\n" % number)
        truth = self.truth(shape, seed)
        truth["project"] = project_name + ".prj"
        with open(os.path.join(out_dir, "truth.json"), "w") as f:
            json.dump(truth, f, indent=1, sort_keys=True)
            f.write("\n")
        return truth

    def truth(self, shape, seed):
        """True correlations with their acceptable sources, and decoys.

        An output lies before an input when it is in an earlier action file,
        or in the same file on an earlier line: the pairs the search can list.
        """
        order = {action.name: index for index, action in enumerate(self.files)}

        def before(output, file, line):
            of, ol = output[0], output[1]
            return order[of] < order[file] or (of == file and ol < line)

        cells_by_key = {}
        cells_by_value = {}
        for output in self.outputs:
            if output[5] is not None:
                cells_by_key.setdefault(output[5], []).append(output)
            cells_by_value.setdefault(output[4], []).append(output)

        correlations = []
        decoys = []
        seen = set()
        for file, line, value, label in self.inputs:
            place = (file, line, value)
            if place in seen:  # the scanner keeps a value once per line
                continue
            seen.add(place)
            earlier = [o for o in cells_by_value.get(value, []) if before(o, file, line)]
            if not earlier:
                continue
            if label.kind == "true":
                sources = [o for o in cells_by_key.get(label.key, []) if before(o, file, line) and o[4] == value]
                if sources:
                    correlations.append({
                        "file": file, "line": line, "value": value, "key": label.key,
                        "sources": [[o[0], o[1], o[2], o[3]] for o in sources],
                    })
                    continue
                reason = "coincidence"
            else:
                reason = label.reason if label.kind == "decoy" else "coincidence"
            decoys.append({"file": file, "line": line, "value": value, "reason": reason})
        return {
            "shape": shape,
            "family": self.family,
            "seed": seed,
            "files": [a.name for a in self.files],
            "script_lines": sum(len(a.lines) for a in self.files),
            "grid_cells": len(self.outputs),
            "correlations": correlations,
            "decoys": decoys,
            "decoy_reasons": DECOY_REASONS,
        }


def _csv_field(value):
    if any(ch in value for ch in ',"\n\r') or value != value.strip():
        return '"%s"' % value.replace('"', '""')
    return value


def _recordset_safe(value):
    return value != "" and not any(ch in value for ch in '<>&"\n')


def _recordset_lines(number, header, rows):
    lines = ["/* RECORDSET %d" % number,
             '<xml xmlns:s="uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882"',
             '\txmlns:dt="uuid:C2F41010-65B3-11d1-A29F-00AA00C14882"',
             '\txmlns:rs="urn:schemas-microsoft-com:rowset"',
             '\txmlns:z="#RowsetSchema">',
             '<s:Schema id="RowsetSchema">',
             '\t<s:ElementType name="row" content="eltOnly">']
    for index, name in enumerate(header, start=1):
        lines.append('\t\t<s:AttributeType name="%s" rs:number="%d">' % (name, index))
        lines.append('\t\t\t<s:datatype dt:type="string" dt:maxLength="64"/>')
        lines.append("\t\t</s:AttributeType>")
    lines.append('\t\t<s:extends type="rs:rowbase"/>')
    lines.append("\t</s:ElementType>")
    lines.append("</s:Schema>")
    lines.append("<rs:data>")
    for row in rows:
        attributes = " ".join('%s="%s"' % (name, c.value) for name, c in zip(header, row))
        lines.append("\t<z:row %s/>" % attributes)
    lines.append("</rs:data>")
    lines.append("</xml>")
    lines.append("*/")
    return lines
