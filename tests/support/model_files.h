// Builds small .x model files for the model tests with the .x writer, and a recording device that
// also keeps vertex and index buffers so that meshes draw through it.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/xfile/data_object.h"
#include "platform/xfile/writer.h"
#include "platform/xfile/xfile.h"
#include "support/recording_device.h"

namespace modeltest {

class CXBuilder {
 public:
  CXBuilder();
  std::unique_ptr<xfile::CDataObject> New(const char* type, std::string name = {});
  std::unique_ptr<xfile::CDataObject> Transform(const gfxutil::Matrix& m);
  std::unique_ptr<xfile::CDataObject> Translation(float x, float y, float z);
  // A one-triangle mesh around (x, y, z) with one material (diffuse d) and optional texture.
  std::unique_ptr<xfile::CDataObject> Triangle(const std::string& name, float x, float y, float z,
                                               const char* texture = nullptr, float d = 0.8f);
  // A key block: each key written with the value count its type needs.
  std::unique_ptr<xfile::CDataObject> Keys(uint32_t type, const std::vector<uint32_t>& times,
                                           const std::vector<std::vector<float>>& values);
  // Resolves references and writes the objects.
  bool Write(const std::string& path, std::vector<std::unique_ptr<xfile::CDataObject>>& objects,
             xfile::Encoding encoding = xfile::Encoding::Text);

 private:
  std::unique_ptr<xfile::CXFile> x_;
};

// A device whose buffers hold data, recording every indexed draw with the blend state in force.
struct IndexedDraw {
  uint32_t fvf = 0, firstIndex = 0, faces = 0;
  uint32_t vertexBlend = 0, software = 0;
  gfx::Matrix world[4];
  gfx::Material material;
  gfx::CTexture* texture = nullptr;
};

class CBlendRecordingDevice : public testdev::CRecordingDevice {
 public:
  static inline uint32_t maxBlend = 4;
  void GetDeviceCaps(gfx::Caps& caps) const override { caps.MaxVertexBlendMatrices = maxBlend; }
  gfx::VertexBufferPtr CreateVertexBuffer(uint32_t count, uint32_t fvf) override;
  gfx::IndexBufferPtr CreateIndexBuffer(uint32_t count) override;
  gfx::Result DrawIndexedPrimitive(gfx::PrimitiveType, uint32_t, uint32_t, uint32_t startIndex,
                                   uint32_t primitives) override;
  std::vector<IndexedDraw> indexed;
};

// A hidden window and the graphics services on the blend-recording device, in a scratch folder.
class ModelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;
  CBlendRecordingDevice& device();
  std::string dir;
  CXBuilder x;

 private:
  std::string oldDir_;
};

}  // namespace modeltest
