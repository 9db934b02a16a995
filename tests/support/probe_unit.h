// A unit that records which of its operations the registry called, into a shared journal.
#pragma once
#include <string>
#include <vector>

#include "unit/unit.h"

class CProbeUnit : public CUnit {
 public:
  CProbeUnit(std::string tag, std::vector<std::string>* journal) : tag_(std::move(tag)), journal_(journal) {}
  ~CProbeUnit() override { Note("destroy"); }

  void Update() override {
    Note("update");
    ++updates;
    if (finishInUpdate) Finish();
  }
  void LateUpdate() override {
    Note("late");
    if (moveInLate) SetPosition(lateTo.x, lateTo.y, lateTo.z, lateTo.w);
  }
  void Draw() override { Note("draw"); }
  void DrawSecondPass() override { Note("draw2"); }
  void DrawScreen() override { Note("screen"); }

  bool finishInUpdate = false;
  bool moveInLate = false;
  gfxutil::Vector4 lateTo;
  int updates = 0;

 private:
  void Note(const char* what) {
    if (journal_) journal_->push_back(tag_ + ":" + what);
  }
  std::string tag_;
  std::vector<std::string>* journal_;
};
