"""Reading and writing the values of a weights file that the quality tools
search, as one flat dictionary.

The statement entries are searched as three group weights: the bind calls,
the assignment calls and the statement calls (values in SQL text), each
group's calls sharing one weight.
"""

import configparser

STATEMENT_GROUPS = (
    ("StatementBind", ("sqx_assign_bind", "sqx_assign_bind_ext", "sqx_assign_bind_literal")),
    ("StatementAssign", ("sqx_assign", "sqx_assign_ext", "sqx_assign_literal")),
    ("StatementSql", ("sqx_stmt", "sqx_ora8_stmt", "sqx_ora8_stmt_literal", "sqx_ora8_stmt_ext")),
)
INPUT_NAMES = ("TokenType", "TokenLength", "CapitalCharacters", "TokenFrequency", "StatementType",
               "InputOutput", "PairLineDistance", "TokenGridFrequency", "TokenGridRow")
# (flat name, section, key, default when the file lacks it)
SIMPLE = (
    ("NumberWeight", "TokenType", "NumberWeight", 5.0),
    ("StringWeight", "TokenType", "StringWeight", 3.0),
    ("DbIdWeight", "TokenType", "DbIdWeight", 7.0),
    ("OtherWeight", "TokenType", "OtherWeight", 1.0),
    ("MaxLength", "TokenLength", "MaxLength", 20.0),
    ("PeakValue", "TokenLength", "PeakValue", 10.0),
    ("MaxCapitals", "CapitalCharacters", "MaxCapitals", 20.0),
    ("TokenFrequencyMax", "TokenFrequency", "MaxFrequency", 200.0),
    ("in", "InputOutput", "in", 1.0),
    ("out", "InputOutput", "out", 1.0),
    ("InputMax", "TokenInputFrequency", "MaxFrequency", 1.0),
    ("OutputMax", "TokenOutputFrequency", "MaxFrequency", 1.0),
    ("MaxDistance", "PairLineDistance", "MaxDistance", 250.0),
    ("GridFrequencyMax", "TokenGridFrequency", "MaxFrequency", 20.0),
    ("MaxRow", "TokenGridRow", "MaxRow", 20.0),
)


def _number(text, default):
    try:
        return float(text)
    except (TypeError, ValueError):
        return default


def read(path):
    parser = configparser.ConfigParser(interpolation=None, comment_prefixes=(";",), strict=False)
    parser.optionxform = str
    with open(path) as f:
        parser.read_file(f)

    def get(section, key, default):
        if parser.has_section(section) and parser.has_option(section, key):
            return _number(parser.get(section, key), default)
        return default

    values = {"Weight%d" % i: get("TokenEvaluatorInputs", "Weight%d" % i, 0.0) for i in range(9)}
    for name, section, key, default in SIMPLE:
        values[name] = get(section, key, default)
    entries = {}
    count = int(get("StatementType", "NumberOfStatements", 0.0))
    for i in range(count):
        call = parser.get("StatementType", "Type%d" % i, fallback="")
        entries.setdefault(call, get("StatementType", "Weight%d" % i, 0.0))
    for name, calls in STATEMENT_GROUPS:
        values[name] = entries.get(calls[0], 0.0)
    return values


def defaults():
    """The values a weights file without any section or key gives."""
    values = {"Weight%d" % i: 0.0 for i in range(9)}
    for name, _, _, default in SIMPLE:
        values[name] = default
    for name, _ in STATEMENT_GROUPS:
        values[name] = 0.0
    return values


def _format(value):
    return "%.3f" % value if abs(value) < 1e6 else "%g" % value


def write(path, values):
    lines = ["[TokenEvaluatorInputs]"]
    lines += ["Weight%d=%s" % (i, _format(values["Weight%d" % i])) for i in range(9)]
    lines += ["Input%d=%s" % (i, name) for i, name in enumerate(INPUT_NAMES)]
    sections = {}
    for name, section, key, _ in SIMPLE:
        sections.setdefault(section, []).append("%s=%s" % (key, _format(values[name])))
    calls = [(call, values[name]) for name, group in STATEMENT_GROUPS for call in group]
    sections["StatementType"] = (["NumberOfStatements=%d" % len(calls)]
                                 + ["Weight%d=%s" % (i, _format(w)) for i, (_, w) in enumerate(calls)]
                                 + ["Type%d=%s" % (i, call) for i, (call, _) in enumerate(calls)])
    for section, keys in sections.items():
        lines.append("")
        lines.append("[%s]" % section)
        lines.extend(keys)
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
