#pragma once
// Keyed lookups below one start node that return exactly what searchNode would:
// the first element in document order with the given name whose key attributes
// equal the values, where a missing key attribute does not disqualify. The merges
// look up every answer item, so a walk per lookup would make them quadratic.
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <pugixml.hpp>

namespace zampo {

class FirstMatchIndex {
public:
    // Walks the subtree of start once.
    FirstMatchIndex(pugi::xml_node start, std::string name, std::vector<std::string> attrNames);

    pugi::xml_node find(const std::vector<std::string>& values) const;
    // The same without copying the values into strings.
    pugi::xml_node find(std::initializer_list<std::string_view> values) const;

    // Registers node and its descendants after the caller appended node as the
    // last child of start, which puts it last in document order. The index stays
    // exact only under such appends and while no key attribute changes.
    void appended(pugi::xml_node node);

private:
    struct Entry {
        pugi::xml_node node;
        size_t order;
    };
    // Looked up by string_view, so a lookup needs no key of its own.
    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
    };
    void consider(pugi::xml_node node);
    template <typename Values>
    pugi::xml_node findValues(const Values& values) const;
    template <typename Values>
    bool matchesValues(pugi::xml_node node, const Values& values) const;

    std::string name_;
    std::vector<std::string> attrNames_;
    size_t nextOrder_ = 0;
    // Elements carrying every key attribute, first one per key.
    std::unordered_map<std::string, Entry, KeyHash, std::equal_to<>> complete_;
    // Elements lacking some key attribute (hand-edited files), in document order;
    // they match more than one key, so each lookup checks them.
    std::vector<Entry> partial_;
};

// How the merges look elements up. The plain search exists so that tests can
// run a merge both ways and compare the results.
enum class LookupMode { Indexed, Search };

class KeyedLookup {
public:
    KeyedLookup(pugi::xml_node start, std::string name, std::vector<std::string> attrNames, LookupMode mode);
    pugi::xml_node find(const std::vector<std::string>& values) const;
    // See FirstMatchIndex::appended.
    void appended(pugi::xml_node node);

private:
    pugi::xml_node start_;
    std::string name_;
    std::vector<std::string> attrNames_;
    std::optional<FirstMatchIndex> index_;
};

}  // namespace zampo
