// Shared resources of one class, loaded once per scene from a script section and found by their
// exact data-file path. One live cache per class, reachable through Current().
#pragma once
#include <boost/shared_ptr.hpp>
#include <list>
#include <map>
#include <string>
#include <type_traits>

template <class T>
class ResourceCache {
 public:
  // Becomes the current cache of its class, then loads every listed path in order; a path
  // listed again loads again but the first resource stays.
  explicit ResourceCache(std::list<std::string> paths) {
    current_ = this;
    for (const std::string& path : paths) {
      boost::shared_ptr<T> resource(Load(path));
      entries_.emplace(path, resource);
    }
  }
  ~ResourceCache() {
    if (current_ == this) current_ = nullptr;
    entries_.clear();
  }
  ResourceCache(const ResourceCache&) = delete;
  ResourceCache& operator=(const ResourceCache&) = delete;

  // An empty pointer when the path was never listed.
  boost::shared_ptr<T> Find(const std::string& path) const {
    const auto it = entries_.find(path);
    return it == entries_.end() ? boost::shared_ptr<T>() : it->second;
  }
  size_t Size() const { return entries_.size(); }

  static ResourceCache* Current() { return current_; }
  // Find in the current cache; an empty pointer when there is none.
  static boost::shared_ptr<T> FindCurrent(const std::string& path) {
    return current_ ? current_->Find(path) : boost::shared_ptr<T>();
  }

 private:
  static T* Load(const std::string& path) {
    if constexpr (std::is_constructible_v<T, const std::string&>)
      return new T(path);
    else
      return new T(path.c_str());
  }

  std::map<std::string, boost::shared_ptr<T>> entries_;
  static inline ResourceCache* current_ = nullptr;
};
