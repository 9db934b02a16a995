// The background pieces of the loaded stage, in script order, with their two drawing passes.
#pragma once
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <list>
#include <string>
#include <utility>
#include <vector>

#include "world/bsp.h"

class CBspList {
 public:
  // Builds one piece per name, in order, each placing its collision model (from
  // `collisionModels`) in `collisionWorld`.
  CBspList(const std::list<std::string>& fileNames, const ResourceCache<CCollisionModel>* collisionModels,
           CCollisionWorld* collisionWorld);
  ~CBspList();
  CBspList(const CBspList&) = delete;
  CBspList& operator=(const CBspList&) = delete;

  // Opaque pass: linear filtering with a mip bias of 1 while the pieces draw.
  void DrawOpaque(const BspView& view);
  // Translucent pass: each piece's translucent subsets, with a fog off/on toggle after each.
  void DrawTranslucent(const BspView& view);
  void Clear();

  int32_t Count() const { return count_; }
  const std::list<boost::shared_ptr<CBsp>>& Pieces() const { return pieces_; }

 private:
  struct ReorderedDraw {
    CBsp* piece;
    uint32_t subset;
    bool losesTies;  // drawn with "less": a subset listed after it and touching it is drawn already
  };
  // Plans the reordered opaque pass (OrderOpaqueDraws) for where the pieces stand now.
  void PlanReorderedDraws(float viewDistance);
  bool ReorderedDrawsStale(float viewDistance) const;

  std::list<boost::shared_ptr<CBsp>> pieces_;
  // The opaque pass when draws may be reordered, smallest first as far as ties allow, and what it
  // was planned for: the pieces' places and the view distance.
  std::vector<ReorderedDraw> reordered_;
  std::vector<gfxutil::Matrix> plannedWorlds_;
  float plannedViewDistance_ = -1;
  int32_t count_ = 0;
};

// The culling view of what the device draws with now: view x projection from its transforms, the
// eye from the inverse view, the back-buffer size. The camera manager's eye may be passed instead.
BspView CurrentBspView();
