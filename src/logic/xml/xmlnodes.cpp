#include "logic/xml/xmlnodes.h"

#include <cstring>

namespace zampo {

void setAttr(pugi::xml_node node, const char* name, std::string_view value) {
    pugi::xml_attribute a = node.attribute(name);
    if (!a) a = node.append_attribute(name);
    a.set_value(value.data(), value.size());
}

void copyAttr(pugi::xml_node node, const char* to, const char* from) {
    pugi::xml_attribute source = node.attribute(from);
    if (source)
        setAttr(node, to, source.value());
    else
        node.remove_attribute(to);
}

bool attrIs(pugi::xml_node node, const char* name, const char* value) {
    return std::strcmp(node.attribute(name).value(), value) == 0;
}

bool isNamed(pugi::xml_node node, const char* name) {
    return std::strcmp(node.name(), name) == 0;
}

bool isElement(pugi::xml_node node) {
    return node.type() == pugi::node_element;
}

pugi::xml_node nextElement(pugi::xml_node node) {
    pugi::xml_node n = node.next_sibling();
    while (n && !isElement(n)) n = n.next_sibling();
    return n;
}

pugi::xml_node childElementAt(pugi::xml_node parent, int32_t index) {
    if (index < 0) return {};
    for (pugi::xml_node c : parent.children()) {
        if (!isElement(c)) continue;
        if (index-- == 0) return c;
    }
    return {};
}

}  // namespace zampo
