#include "platform/xfile/template_set.h"

#include <cctype>

namespace xfile {

namespace {
std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}
}  // namespace

CTemplate* CTemplateSet::Add(CTemplate t) {
  all_.push_back(std::move(t));
  CTemplate* added = &all_.back();
  byName_[added->name] = added;
  byLowerName_[Lower(added->name)] = added;
  return added;
}

const CTemplate* CTemplateSet::FindByName(std::string_view name) const {
  if (auto it = byName_.find(std::string(name)); it != byName_.end()) return it->second;
  if (auto it = byLowerName_.find(Lower(name)); it != byLowerName_.end()) return it->second;
  return nullptr;
}

const CTemplate* CTemplateSet::FindByGuid(const Guid& g) const {
  for (size_t i = all_.size(); i-- > 0;)
    if (all_[i].guid == g) return &all_[i];
  return nullptr;
}

}  // namespace xfile
