// Shared resources of one class, loaded once per world from a script section and found by their
// exact data-file path. The stage world owns one cache per class and lends it to what loads from
// it (see unit/world_context.h).
#pragma once
#include <boost/shared_ptr.hpp>
#include <list>
#include <map>
#include <string>
#include <type_traits>

template <class T>
class ResourceCache {
 public:
  // Loads every listed path in order, each as T(path, extra...); a path listed again loads again
  // but the first resource stays.
  template <class... Extra>
  explicit ResourceCache(std::list<std::string> paths, const Extra&... extra) {
    for (const std::string& path : paths) {
      boost::shared_ptr<T> resource(Load(path, extra...));
      entries_.emplace(path, resource);
    }
  }
  ~ResourceCache() { entries_.clear(); }
  ResourceCache(const ResourceCache&) = delete;
  ResourceCache& operator=(const ResourceCache&) = delete;

  // An empty pointer when the path was never listed.
  boost::shared_ptr<T> Find(const std::string& path) const {
    const auto it = entries_.find(path);
    return it == entries_.end() ? boost::shared_ptr<T>() : it->second;
  }
  size_t Size() const { return entries_.size(); }

 private:
  template <class... Extra>
  static T* Load(const std::string& path, const Extra&... extra) {
    if constexpr (std::is_constructible_v<T, const std::string&, const Extra&...>)
      return new T(path, extra...);
    else
      return new T(path.c_str(), extra...);
  }

  std::map<std::string, boost::shared_ptr<T>> entries_;
};

// Find in `cache`; an empty pointer where there is no cache.
template <class T>
boost::shared_ptr<T> FindIn(const ResourceCache<T>* cache, const std::string& path) {
  return cache ? cache->Find(path) : boost::shared_ptr<T>();
}
