// The templates known to a reader: looked up by name (exact first, then ignoring case, as
// exporters vary the spelling) or by GUID. Templates never move once added.
#pragma once
#include <deque>
#include <string_view>
#include <unordered_map>

#include "platform/xfile/template.h"

namespace xfile {

class CTemplateSet {
 public:
  // A later template with the same name or GUID replaces the earlier one in lookups.
  CTemplate* Add(CTemplate t);
  const CTemplate* FindByName(std::string_view name) const;
  const CTemplate* FindByGuid(const Guid& g) const;
  size_t Size() const { return all_.size(); }
  const CTemplate& At(size_t i) const { return all_[i]; }

 private:
  std::deque<CTemplate> all_;
  std::unordered_map<std::string, const CTemplate*> byName_;
  std::unordered_map<std::string, const CTemplate*> byLowerName_;
};

}  // namespace xfile
