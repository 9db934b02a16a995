// Builds small .x model files for the model tests with the .x writer, and the fixture that loads
// and draws them on the recording device.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/xfile/data_object.h"
#include "platform/xfile/writer.h"
#include "platform/xfile/xfile.h"
#include "support/recording_graphics.h"

namespace modeltest {

class CXBuilder {
 public:
  CXBuilder();
  std::unique_ptr<xfile::CDataObject> New(const char* type, std::string name = {});
  std::unique_ptr<xfile::CDataObject> Transform(const gfxutil::Matrix& m);
  std::unique_ptr<xfile::CDataObject> Translation(float x, float y, float z);
  // A one-triangle mesh around (x, y, z), `size` to each side, with one material (diffuse d) and
  // optional texture.
  std::unique_ptr<xfile::CDataObject> Triangle(const std::string& name, float x, float y, float z,
                                               const char* texture = nullptr, float d = 0.8f,
                                               float size = 1.0f);
  // A key block: each key written with the value count its type needs.
  std::unique_ptr<xfile::CDataObject> Keys(uint32_t type, const std::vector<uint32_t>& times,
                                           const std::vector<std::vector<float>>& values);
  // Resolves references and writes the objects.
  bool Write(const std::string& path, std::vector<std::unique_ptr<xfile::CDataObject>>& objects,
             xfile::Encoding encoding = xfile::Encoding::Text);

 private:
  std::unique_ptr<xfile::CXFile> x_;
};

// A hidden window and the graphics services on the recording device, making buffers so that meshes
// draw through it, in a scratch folder of its own (the working directory while the test runs).
class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  testdev::CRecordingDevice& device() { return graphics_->device(); }
  // The real GL device from here on (device() is then gone); false where there is none.
  bool UseRealDevice() { return graphics_->UseRealDevice(); }
  std::string dir;
  CXBuilder x;

 private:
  std::unique_ptr<testdev::CRecordingGraphics> graphics_;
};

}  // namespace modeltest
