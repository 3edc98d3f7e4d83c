#pragma once
// The small reads and writes on elements and attributes that every document of
// the gateway needs, so that each subsystem does not keep its own copy.
#include <cstdint>
#include <string_view>

#include <pugixml.hpp>

namespace zampo {

// Writes the attribute, creating it (last) when missing; an empty value keeps it present.
void setAttr(pugi::xml_node node, const char* name, std::string_view value);

// Copies attribute from onto attribute to of the same element; when from is
// missing, to is removed.
void copyAttr(pugi::xml_node node, const char* to, const char* from);

// The attribute's value, empty when it is missing, equals value.
bool attrIs(pugi::xml_node node, const char* name, const char* value);

bool isNamed(pugi::xml_node node, const char* name);
bool isElement(pugi::xml_node node);

// The next sibling that is an element, or none.
pugi::xml_node nextElement(pugi::xml_node node);

// The element child at index among the element children (from 0), or none.
pugi::xml_node childElementAt(pugi::xml_node parent, int32_t index);

}  // namespace zampo
