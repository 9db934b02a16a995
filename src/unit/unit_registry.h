// The units of the current world, by name in ascending byte order (equal names kept in insertion
// order), and the per-frame passes over them. Owns the units through shared pointers.
#pragma once
#include <boost/shared_ptr.hpp>
#include <map>
#include <string>

class CUnit;
struct WorldContext;

class CUnitRegistry {
 public:
  // Measures the units against the world's camera manager and its configured screen size.
  explicit CUnitRegistry(const WorldContext& world);
  ~CUnitRegistry();
  CUnitRegistry(const CUnitRegistry&) = delete;
  CUnitRegistry& operator=(const CUnitRegistry&) = delete;

  // Always succeeds, also for a name already present.
  void Insert(const std::string& name, const boost::shared_ptr<CUnit>& unit);
  // Drops the units that have finished.
  void RemoveFinished();
  // Camera distance and screen position of every unit, then its update.
  void Update();
  // Late update, then visibility: near enough (0.4 x the view distance, inclusive) and origin
  // within 360 pixels of the screen.
  void LatePass();
  void Draw();
  void DrawSecondPass();
  void DrawScreen();
  // Drops every unit.
  void Destroy();

  size_t Count() const { return units_.size(); }
  size_t Count(const std::string& name) const { return units_.count(name); }
  // The first unit of that name, or an empty pointer.
  boost::shared_ptr<CUnit> Find(const std::string& name) const;
  const std::multimap<std::string, boost::shared_ptr<CUnit>>& Units() const { return units_; }

 private:
  const WorldContext& world_;
  std::multimap<std::string, boost::shared_ptr<CUnit>> units_;
};
