#include "rowbank/grid_recordset_reader.h"

#include <limits.h>
#include <string.h>

namespace {

constexpr char ROOT_NAME[] = "xml";
constexpr char SCHEMA_NAMESPACE[] = "uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882";
constexpr char ROWSET_NAMESPACE[] = "urn:schemas-microsoft-com:rowset";
constexpr char ROW_NAMESPACE[] = "#RowsetSchema";
constexpr char NAMESPACE_ATTRIBUTE[] = "xmlns";

// The namespace bound to prefix (empty: the default namespace) where node
// stands, or null when none is declared.
const char *namespace_of_prefix(pugi::xml_node node, std::string_view prefix) {
    std::string attribute_name = NAMESPACE_ATTRIBUTE;
    if (!prefix.empty()) {
        attribute_name += ':';
        attribute_name += prefix;
    }
    for (; node; node = node.parent()) {
        pugi::xml_attribute declaration = node.attribute(attribute_name.c_str());
        if (declaration) {
            return declaration.value();
        }
    }
    return nullptr;
}

// Whether node is an element named local_name in namespace_uri.
bool is_element(pugi::xml_node node, const char *namespace_uri, const char *local_name) {
    if (node.type() != pugi::node_element) {
        return false;
    }
    std::string_view name = node.name();
    size_t colon = name.find(':');
    std::string_view prefix =
        colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
    std::string_view local = colon == std::string_view::npos ? name : name.substr(colon + 1);
    if (local != local_name) {
        return false;
    }
    const char *uri = namespace_of_prefix(node, prefix);
    return uri != nullptr && strcmp(uri, namespace_uri) == 0;
}

pugi::xml_node child_element(pugi::xml_node parent, const char *namespace_uri,
                             const char *local_name) {
    for (pugi::xml_node child : parent.children()) {
        if (is_element(child, namespace_uri, local_name)) {
            return child;
        }
    }
    return pugi::xml_node();
}

void add_column(pugi::xml_node attribute_type, recordset_table_t *table) {
    if (table->column_count == INT_MAX) {
        return;
    }
    pugi::xml_attribute name = attribute_type.attribute("name");
    // A nameless column can never be filled; it still takes its place.
    if (name) {
        table->column_of_name.emplace(name.value(), table->column_count);
    }
    table->column_names.push_back(name ? name.value() : "");
    ++table->column_count;
}

// Collects the columns, in document order: AttributeType elements directly
// in the schema or in one of its ElementType elements. Deeper ones describe
// nested recordsets, which are not columns of this one.
void collect_columns(pugi::xml_node schema, recordset_table_t *table) {
    for (pugi::xml_node child : schema.children()) {
        if (is_element(child, SCHEMA_NAMESPACE, "AttributeType")) {
            add_column(child, table);
        } else if (is_element(child, SCHEMA_NAMESPACE, "ElementType")) {
            for (pugi::xml_node grandchild : child.children()) {
                if (is_element(grandchild, SCHEMA_NAMESPACE, "AttributeType")) {
                    add_column(grandchild, table);
                }
            }
        }
    }
}

}  // namespace

void recordset_table_clear(recordset_table_t *table) {
    table->rows.clear();
    table->column_of_name.clear();
    table->column_names.clear();
    table->column_count = 0;
    table->document.reset();
    table->text.clear();
}

int recordset_table_load(std::string text, recordset_table_t *table) {
    recordset_table_clear(table);
    table->text = std::move(text);
    if (table->text.empty()) {
        return -1;
    }
    pugi::xml_parse_result parsed = table->document.load_buffer_inplace(
        &table->text[0], table->text.size(), pugi::parse_default, pugi::encoding_utf8);
    pugi::xml_node root = table->document.document_element();
    pugi::xml_node schema, data;
    if (parsed && strcmp(root.name(), ROOT_NAME) == 0) {
        schema = child_element(root, SCHEMA_NAMESPACE, "Schema");
        data = child_element(root, ROWSET_NAMESPACE, "data");
    }
    if (!schema || !data) {
        recordset_table_clear(table);
        return -1;
    }
    collect_columns(schema, table);
    for (pugi::xml_node child : data.children()) {
        if (is_element(child, ROW_NAMESPACE, "row") &&
            table->rows.size() < static_cast<size_t>(INT_MAX)) {
            table->rows.push_back(child);
        }
    }
    return 0;
}

int recordset_table_read_row(const recordset_table_t &table, int row, grid_row_t *out) {
    grid_row_reset(out, table.column_count);
    if (row < 0 || static_cast<size_t>(row) >= table.rows.size()) {
        return -1;
    }
    for (pugi::xml_attribute attribute : table.rows[row].attributes()) {
        auto column = table.column_of_name.find(attribute.name());
        if (column != table.column_of_name.end()) {
            const char *value = attribute.value();
            grid_row_set_cell(out, column->second, value, strlen(value));
        }
    }
    return 0;
}
