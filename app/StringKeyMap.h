// The string-keyed map of the program (catalogue, packages, named folders,
// old products): iteration yields the most recently inserted key first, a key
// that is inserted again keeps its place, keys compare case-sensitively.
#pragma once
#include <iterator>
#include <list>
#include <string>
#include <unordered_map>
#include <utility>

template <class T>
class CStringKeyMap {
public:
    using Entry = std::pair<const std::string, T>;
    using iterator = typename std::list<Entry>::iterator;
    using const_iterator = typename std::list<Entry>::const_iterator;

    CStringKeyMap() = default;
    CStringKeyMap(const CStringKeyMap&) = delete;
    CStringKeyMap& operator=(const CStringKeyMap&) = delete;

    // The value stored under key, or null.
    T* Lookup(const std::string& key) {
        auto found = m_index.find(key);
        return found == m_index.end() ? nullptr : &found->second->second;
    }
    const T* Lookup(const std::string& key) const {
        auto found = m_index.find(key);
        return found == m_index.end() ? nullptr : &found->second->second;
    }

    T& SetAt(const std::string& key, T value) {
        auto found = m_index.find(key);
        if (found != m_index.end()) {
            found->second->second = std::move(value);
            return found->second->second;
        }
        m_items.emplace_front(key, std::move(value));
        m_index.emplace(key, m_items.begin());
        return m_items.front().second;
    }

    bool RemoveKey(const std::string& key) {
        auto found = m_index.find(key);
        if (found == m_index.end()) return false;
        m_items.erase(found->second);
        m_index.erase(found);
        return true;
    }

    void RemoveAll() {
        m_index.clear();
        m_items.clear();
    }

    int GetCount() const { return (int)m_items.size(); }
    bool IsEmpty() const { return m_items.empty(); }
    iterator begin() { return m_items.begin(); }
    iterator end() { return m_items.end(); }
    const_iterator begin() const { return m_items.begin(); }
    const_iterator end() const { return m_items.end(); }

private:
    std::list<Entry> m_items;
    std::unordered_map<std::string, iterator> m_index;
};
