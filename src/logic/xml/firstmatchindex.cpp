#include "logic/xml/firstmatchindex.h"

#include "logic/xml/xmlstore.h"

namespace zampo {

namespace {

// Attribute values cannot contain NUL, so it separates the parts of a key unambiguously.
template <typename Get>
std::string joinKey(size_t count, Get get) {
    std::string key;
    for (size_t k = 0; k < count; ++k) {
        if (k) key += '\0';
        key += get(k);
    }
    return key;
}

}  // namespace

FirstMatchIndex::FirstMatchIndex(pugi::xml_node start, std::string name, std::vector<std::string> attrNames)
    : name_(std::move(name)), attrNames_(std::move(attrNames)) {
    // Pre-order, the order in which searchNode meets the descendants.
    pugi::xml_node n = start.first_child();
    while (n) {
        consider(n);
        if (n.first_child()) {
            n = n.first_child();
            continue;
        }
        while (n && !n.next_sibling()) {
            n = n.parent();
            if (n == start) return;
        }
        if (n) n = n.next_sibling();
    }
}

void FirstMatchIndex::consider(pugi::xml_node node) {
    if (node.type() != pugi::node_element || name_ != node.name()) return;
    const size_t order = nextOrder_++;
    for (const std::string& a : attrNames_) {
        if (!node.attribute(a.c_str())) {
            partial_.push_back({node, order});
            return;
        }
    }
    std::string key =
        joinKey(attrNames_.size(), [&](size_t k) { return node.attribute(attrNames_[k].c_str()).value(); });
    complete_.try_emplace(std::move(key), Entry{node, order});
}

template <typename Values>
bool FirstMatchIndex::matchesValues(pugi::xml_node node, const Values& values) const {
    auto value = values.begin();
    for (size_t k = 0; k < attrNames_.size(); ++k, ++value) {
        pugi::xml_attribute a = node.attribute(attrNames_[k].c_str());
        if (a && std::string_view(*value) != a.value()) return false;
    }
    return true;
}

template <typename Values>
pugi::xml_node FirstMatchIndex::findValues(const Values& values) const {
    const Entry* best = nullptr;
    // One buffer per thread: lookups in the hot loops then allocate nothing.
    thread_local std::string key;
    key.clear();
    for (auto value = values.begin(); value != values.end(); ++value) {
        if (value != values.begin()) key += '\0';
        key += *value;
    }
    auto it = complete_.find(std::string_view(key));
    if (it != complete_.end()) best = &it->second;
    for (const Entry& p : partial_) {
        if (best && p.order > best->order) break;
        if (matchesValues(p.node, values)) return p.node;
    }
    return best ? best->node : pugi::xml_node{};
}

pugi::xml_node FirstMatchIndex::find(const std::vector<std::string>& values) const {
    return findValues(values);
}

pugi::xml_node FirstMatchIndex::find(std::initializer_list<std::string_view> values) const {
    return findValues(values);
}

void FirstMatchIndex::appended(pugi::xml_node node) {
    consider(node);
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) appended(child);
}

KeyedLookup::KeyedLookup(pugi::xml_node start, std::string name, std::vector<std::string> attrNames, LookupMode mode)
    : start_(start), name_(std::move(name)), attrNames_(std::move(attrNames)) {
    if (mode == LookupMode::Indexed) index_.emplace(start_, name_, attrNames_);
}

pugi::xml_node KeyedLookup::find(const std::vector<std::string>& values) const {
    return index_ ? index_->find(values) : searchNode(start_, name_, attrNames_, values);
}

void KeyedLookup::appended(pugi::xml_node node) {
    if (index_) index_->appended(node);
}

}  // namespace zampo
