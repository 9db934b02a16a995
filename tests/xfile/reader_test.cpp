// The .x reader: structure, values, references, quirks, encodings and file-declared templates.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "platform/xfile/standard_templates.h"
#include "support/sample_models.h"
#include "support/xfile_test_util.h"

using namespace xfile;

namespace {

const Guid kFrame = {0x3D82AB46, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
const Guid kMesh = {0x3D82AB44, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
const Guid kAnimation = {0x3D82AB4F, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};

class ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reader_ = xtest::NewReader();
    ASSERT_NE(reader_, nullptr);
  }
  std::unique_ptr<CXFile> reader_;
};

TEST_F(ReaderTest, StandardTemplateBlockIsBinaryAndComplete) {
  ASSERT_GE(kStandardTemplatesSize, 16u);
  EXPECT_EQ(std::memcmp(kStandardTemplates, "xof 0302bin 0064", 16), 0);
  const CTemplate* mesh = reader_->Templates().FindByName("Mesh");
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->guid, kMesh);
  ASSERT_EQ(mesh->members.size(), 4u);
  EXPECT_EQ(mesh->members[1].dims.size(), 1u);
  EXPECT_EQ(mesh->members[1].dims[0].member, 0);
  EXPECT_EQ(mesh->restriction, Restriction::Open);
  const CTemplate* list = reader_->Templates().FindByName("MeshMaterialList");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->restriction, Restriction::Restricted);
  ASSERT_EQ(list->allowed.size(), 1u);
  EXPECT_EQ(list->allowed[0].name, "Material");
  for (const char* name : {"Header", "Frame", "FrameTransformMatrix", "AnimationSet", "Animation",
                           "AnimationKey", "AnimationOptions", "SkinWeights", "XSkinMeshHeader",
                           "VertexDuplicationIndices", "MeshNormals", "MeshTextureCoords", "TextureFilename"})
    EXPECT_NE(reader_->Templates().FindByName(name), nullptr) << name;
  // Exporters vary the case of this one.
  EXPECT_EQ(reader_->Templates().FindByName("TextureFileName"),
            reader_->Templates().FindByName("TextureFilename"));
}

TEST_F(ReaderTest, ReadsTreeNamesAndValues) {
  std::unique_ptr<CEnumObject> e;
  ASSERT_EQ(xtest::Open(*reader_, xtest::kSkinnedCube, e), DXFILE_OK);
  ASSERT_EQ(e->Objects().size(), 4u);  // Header, Material, Frame, AnimationSet
  const CDataObject* o = nullptr;
  ASSERT_EQ(e->GetNextDataObject(o), DXFILE_OK);
  EXPECT_EQ(o->Template()->name, "Header");
  CDataCursor hc(*o);
  EXPECT_EQ(hc.Word(), 1);
  EXPECT_EQ(hc.Word(), 0);
  EXPECT_EQ(hc.Dword(), 1u);
  EXPECT_EQ(hc.Remaining(), 0u);
  ASSERT_EQ(e->GetNextDataObject(o), DXFILE_OK);
  EXPECT_EQ(o->GetName(), "RedMat");
  CDataCursor mc(*o);
  EXPECT_FLOAT_EQ(mc.Float(), 1.0f);
  mc.Skip(12);
  EXPECT_FLOAT_EQ(mc.Float(), 5.0f);  // "5.0e0"
  ASSERT_EQ(e->GetNextDataObject(o), DXFILE_OK);
  const CDataObject* root = o;
  EXPECT_EQ(root->GetType(), kFrame);
  EXPECT_EQ(root->GetName(), "Root");
  ASSERT_EQ(root->GetChildCount(), 2u);
  CDataCursor ftm(*root->GetChild(0).object);
  float m[16];
  for (float& f : m) f = ftm.Float();
  EXPECT_TRUE(ftm.Ok());
  EXPECT_FLOAT_EQ(m[13], 25.0f);  // "2.5E+1"
  const CDataObject* body = xtest::FindChild(*root, "Body");
  ASSERT_NE(body, nullptr);
  Guid id;
  ASSERT_TRUE(body->GetId(id));
  EXPECT_EQ(FormatGuid(id), "11112222-3333-4444-5555-666677778888");
  const CDataObject* mesh = xtest::FindChild(*body, "BodyMesh");
  ASSERT_NE(mesh, nullptr);
  CDataCursor c(*mesh);
  ASSERT_EQ(c.Dword(), 8u);
  EXPECT_FLOAT_EQ(c.Float(), -1.0f);
  c.Skip(4 * 23);
  ASSERT_EQ(c.Dword(), 6u);
  EXPECT_EQ(c.Dword(), 4u);
  EXPECT_EQ(c.Dword(), 0u);
  EXPECT_EQ(c.Dword(), 3u);
  c.Skip(4 * 2 + 5 * 5 * 4);
  EXPECT_TRUE(c.Ok());
  EXPECT_EQ(c.Remaining(), 0u);
  ASSERT_EQ(mesh->GetChildCount(), 6u);
  const CDataObject* list = mesh->GetChild(0).object;
  ASSERT_EQ(list->Template()->name, "MeshMaterialList");
  ASSERT_EQ(list->GetChildCount(), 2u);
  EXPECT_TRUE(list->GetChild(0).isReference);
  EXPECT_EQ(list->GetChild(0).object->GetName(), "RedMat");
  EXPECT_FALSE(list->GetChild(1).isReference);
  const CDataObject* tex = list->GetChild(1).object->GetChild(0).object;
  EXPECT_STREQ(CDataCursor(*tex).String(), "tex\\\\blue.bmp");
  const CDataObject* skin = mesh->GetChild(4).object;
  CDataCursor sc(*skin);
  EXPECT_STREQ(sc.String(), "Body");
  EXPECT_EQ(sc.Dword(), 8u);
  EXPECT_EQ(e->GetNextDataObject(o), DXFILE_OK);
  EXPECT_EQ(o->GetName(), "Walk");
  EXPECT_EQ(e->GetNextDataObject(o), DXFILEERR_NOMOREOBJECTS);
  EXPECT_EQ(o, nullptr);
}

TEST_F(ReaderTest, ReferencesResolveByNameAndByGuid) {
  std::unique_ptr<CEnumObject> e;
  ASSERT_EQ(xtest::Open(*reader_, xtest::kSkinnedCube, e), DXFILE_OK);
  const CDataObject* body = xtest::FindChild(*e->Objects()[2], "Body");
  const CDataObject& set = *e->Objects()[3];
  ASSERT_EQ(set.GetChildCount(), 2u);
  const CDataObject* byName = set.GetChild(0).object;
  const CDataObject* byGuid = set.GetChild(1).object;
  EXPECT_EQ(byName->GetType(), kAnimation);
  ASSERT_TRUE(byName->GetChild(0).isReference);
  EXPECT_EQ(byName->GetChild(0).object, body);
  ASSERT_TRUE(byGuid->GetChild(0).isReference);
  EXPECT_EQ(byGuid->GetChild(0).object, body);
  EXPECT_TRUE(byGuid->GetChild(0).refName.empty());
}

TEST_F(ReaderTest, AnimationKeysReadWithTheirTripleSemicolons) {
  std::unique_ptr<CEnumObject> e;
  ASSERT_EQ(xtest::Open(*reader_, xtest::kSkinnedCube, e), DXFILE_OK);
  const CDataObject* anim = e->Objects()[3]->GetChild(0).object;
  const CDataObject* rot = anim->GetChild(1).object;
  CDataCursor c(*rot);
  EXPECT_EQ(c.Dword(), 0u);
  ASSERT_EQ(c.Dword(), 2u);
  EXPECT_EQ(c.Dword(), 0u);
  EXPECT_EQ(c.Dword(), 4u);
  c.Skip(16);
  EXPECT_EQ(c.Dword(), 160u);
  EXPECT_EQ(c.Dword(), 4u);
  EXPECT_NEAR(c.Float(), 0.7071068f, 1e-7);
  c.Skip(12);
  EXPECT_TRUE(c.Ok());
  EXPECT_EQ(c.Remaining(), 0u);
  const CDataObject* scale = e->Objects()[3]->GetChild(1).object->GetChild(1).object;
  CDataCursor s(*scale);
  s.Skip(16);
  EXPECT_FLOAT_EQ(s.Float(), 0.15f);
}

TEST_F(ReaderTest, CommentsNumbersAndSeparatorQuirks) {
  const std::string text =
      "xof 0302txt 0064\n"
      "// leading comment\n"
      "Vector v1 { -1.5e-2; +2; 3.; }  # trailing comment\n"
      "Vector v2 {1.#IND00,-1.#QNAN0\n 7 }\n"
      "Coords2d c { .5;;; -.25;;, }\n";
  std::unique_ptr<CEnumObject> e;
  ASSERT_EQ(xtest::Open(*reader_, text, e), DXFILE_OK);
  ASSERT_EQ(e->Objects().size(), 3u);
  CDataCursor a(*e->Objects()[0]);
  EXPECT_FLOAT_EQ(a.Float(), -0.015f);
  EXPECT_FLOAT_EQ(a.Float(), 2.0f);
  EXPECT_FLOAT_EQ(a.Float(), 3.0f);
  CDataCursor b(*e->Objects()[1]);
  EXPECT_EQ(b.Float(), 0.0f);
  EXPECT_EQ(b.Float(), 0.0f);
  EXPECT_EQ(b.Float(), 7.0f);
  CDataCursor c(*e->Objects()[2]);
  EXPECT_EQ(c.Float(), 0.5f);
  EXPECT_EQ(c.Float(), -0.25f);
}

TEST_F(ReaderTest, FileDeclaredTemplatesAreHonoured) {
  const std::string text =
      "xof 0303txt 0032\n"
      "template Pair { <01234567-89AB-CDEF-0123-456789ABCDEF> DWORD a; DOUBLE b; }\n"
      "template Bag {\n <AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE>\n DWORD n;\n array Pair items[n];\n"
      " array WORD grid[2][3];\n STRING label;\n [Pair <01234567-89AB-CDEF-0123-456789ABCDEF>]\n}\n"
      "Bag b { 2; 1;0.5;, 2;0.25;; 1,2,3,4,5,6; \"hi\"; Pair p { 9; 1e3; } }\n";
  std::unique_ptr<CEnumObject> e;
  ASSERT_EQ(xtest::Open(*reader_, text, e), DXFILE_OK);
  ASSERT_EQ(e->DeclaredTemplates().Size(), 2u);
  const CDataObject& bag = *e->Objects()[0];
  EXPECT_EQ(bag.Template()->restriction, Restriction::Restricted);
  CDataCursor c(bag);
  EXPECT_EQ(c.Dword(), 2u);
  EXPECT_EQ(c.Dword(), 1u);
  EXPECT_EQ(c.Double(), 0.5);
  EXPECT_EQ(c.Dword(), 2u);
  EXPECT_EQ(c.Double(), 0.25);
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(c.Word(), i);
  EXPECT_STREQ(c.String(), "hi");
  EXPECT_EQ(c.Remaining(), 0u);
  CDataCursor p(*bag.GetChild(0).object);
  EXPECT_EQ(p.Dword(), 9u);
  EXPECT_EQ(p.Double(), 1000.0);
  // The registered set is not touched by a file's own templates.
  EXPECT_EQ(reader_->Templates().FindByName("Bag"), nullptr);
  // Written out with its templates in every encoding, the file reads back alike on a reader
  // that knows nothing but the standard set.
  for (Encoding enc :
       {Encoding::Text, Encoding::Binary, Encoding::TextCompressed, Encoding::BinaryCompressed}) {
    const auto bytes = xtest::Write(*e, enc, enc == Encoding::Binary, true);
    ASSERT_FALSE(bytes.empty());
    std::unique_ptr<CEnumObject> back;
    ASSERT_EQ(xtest::Open(*reader_, bytes, back), DXFILE_OK) << int(enc);
    EXPECT_EQ(xtest::Dump(*back), xtest::Dump(*e));
  }
}

TEST_F(ReaderTest, FileTemplateOverridesRegisteredOne) {
  const std::string text =
      "xof 0303txt 0032\n"
      "template Vector { <3D82AB5E-62DA-11CF-AB39-0020AF71E433> DWORD only; }\n"
      "Vector v { 42; }\n";
  std::unique_ptr<CEnumObject> e;
  ASSERT_EQ(xtest::Open(*reader_, text, e), DXFILE_OK);
  EXPECT_EQ(e->Objects()[0]->GetDataSize(), 4u);
  EXPECT_EQ(CDataCursor(*e->Objects()[0]).Dword(), 42u);
}

TEST_F(ReaderTest, SameTreeFromEveryEncoding) {
  std::unique_ptr<CEnumObject> e;
  ASSERT_EQ(xtest::Open(*reader_, xtest::kSkinnedCube, e), DXFILE_OK);
  const std::string reference = xtest::Dump(*e);
  struct Case {
    Encoding enc;
    bool doubles;
    const char* header;
  } cases[] = {{Encoding::Text, false, "xof 0303txt 0032"},
               {Encoding::Binary, false, "xof 0303bin 0032"},
               {Encoding::Binary, true, "xof 0303bin 0064"},
               {Encoding::TextCompressed, false, "xof 0303tzip0032"},
               {Encoding::BinaryCompressed, false, "xof 0303bzip0032"},
               {Encoding::BinaryCompressed, true, "xof 0303bzip0064"}};
  for (const Case& k : cases) {
    const auto bytes = xtest::Write(*e, k.enc, k.doubles);
    ASSERT_GT(bytes.size(), 16u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 16), k.header);
    std::unique_ptr<CEnumObject> back;
    ASSERT_EQ(xtest::Open(*reader_, bytes, back), DXFILE_OK) << k.header;
    EXPECT_EQ(xtest::Dump(*back), reference) << k.header;
    // References survive the trip and still point at the right object.
    const CDataObject* body = xtest::FindChild(*back->Objects()[2], "Body");
    EXPECT_EQ(back->Objects()[3]->GetChild(1).object->GetChild(0).object, body);
  }
}

TEST_F(ReaderTest, BinaryListsMaySpanMembersAndObjectsEnd) {
  // A Mesh whose face count and indices share one integer list and whose vertices come as one
  // float list, as binary writers merge them.
  std::vector<uint8_t> b = {'x', 'o', 'f', ' ', '0', '3', '0', '2', 'b', 'i', 'n', ' ', '0', '0', '3', '2'};
  auto w16 = [&](uint16_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); };
  auto w32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
  };
  auto name = [&](const char* s) {
    w16(1), w32(uint32_t(std::strlen(s))), b.insert(b.end(), s, s + std::strlen(s));
  };
  auto f32 = [&](float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    w32(u);
  };
  name("Mesh");
  name("tri");
  w16(0x0A);
  w16(6), w32(1), w32(3);
  w16(7), w32(9);
  for (int i = 0; i < 9; ++i) f32(float(i));
  w16(6), w32(5), w32(1), w32(3), w32(0), w32(1), w32(2);
  w16(0x0B);
  std::unique_ptr<CEnumObject> e;
  ASSERT_EQ(xtest::Open(*reader_, b, e), DXFILE_OK);
  CDataCursor c(*e->Objects()[0]);
  EXPECT_EQ(c.Dword(), 3u);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(c.Float(), float(i));
  EXPECT_EQ(c.Dword(), 1u);
  EXPECT_EQ(c.Dword(), 3u);
  EXPECT_EQ(c.Dword(), 0u);
  EXPECT_EQ(c.Dword(), 1u);
  EXPECT_EQ(c.Dword(), 2u);
  EXPECT_EQ(c.Remaining(), 0u);
  // A list with a value left over when the object's members are done is malformed.
  b.pop_back(), b.pop_back();
  b[b.size() - 4 * 6] = 6;
  w32(7), w16(0x0B);
  EXPECT_EQ(xtest::Open(*reader_, b, e), DXFILEERR_BADVALUE);
}

TEST_F(ReaderTest, RejectsBadHeadersAndBrokenStructure) {
  std::unique_ptr<CEnumObject> e;
  EXPECT_EQ(xtest::Open(*reader_, std::string("xof 0302"), e), DXFILEERR_BADFILETYPE);
  EXPECT_EQ(xtest::Open(*reader_, std::string("xOf 0302txt 0032\n"), e), DXFILEERR_BADFILETYPE);
  EXPECT_EQ(xtest::Open(*reader_, std::string("xof 0302cmp 0032\n"), e), DXFILEERR_BADFILECOMPRESSIONTYPE);
  EXPECT_EQ(xtest::Open(*reader_, std::string("xof 0302txt 0016\n"), e), DXFILEERR_BADFILEFLOATSIZE);
  EXPECT_EQ(xtest::Open(*reader_, std::string("xof 0302txt 0032\nNoSuch x { 1; }\n"), e),
            DXFILEERR_NOTEMPLATE);
  EXPECT_LT(xtest::Open(*reader_, std::string("xof 0302txt 0032\nVector v { 1; 2; }\n"), e), 0);
  EXPECT_LT(xtest::Open(*reader_, std::string("xof 0302txt 0032\nVector v { 1; 2; 3; \n"), e), 0);
  EXPECT_EQ(xtest::Open(*reader_, std::string("xof 0302txt 0032\nFrame a { { nowhere } }\n"), e),
            DXFILEERR_BADDATAREFERENCE);
  EXPECT_LT(xtest::Open(*reader_, std::string("xof 0302txt 0032\nMesh m { 4000000000; 1;2;3;; }\n"), e), 0);
  EXPECT_EQ(e, nullptr);
  // An empty body is a valid file with nothing in it.
  ASSERT_EQ(xtest::Open(*reader_, std::string("xof 0302txt 0032"), e), DXFILE_OK);
  EXPECT_TRUE(e->Objects().empty());
}

TEST_F(ReaderTest, DeepNestingFailsInsteadOfOverflowing) {
  std::string text = "xof 0302txt 0032\n";
  for (int i = 0; i < 5000; ++i) text += "Frame {";
  std::unique_ptr<CEnumObject> e;
  EXPECT_LT(xtest::Open(*reader_, text, e), 0);
}

TEST_F(ReaderTest, MissingFileIsReported) {
  std::unique_ptr<CEnumObject> e;
  EXPECT_EQ(reader_->CreateEnumObject("/nonexistent/dir/x.x", e), DXFILEERR_FILENOTFOUND);
}

// A directory opens like a file but reports an end far beyond anything readable.
TEST_F(ReaderTest, DirectoryIsReportedAsNotFound) {
  const std::string path = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/folder.x";
  std::filesystem::create_directories(path);
  std::unique_ptr<CEnumObject> e;
  EXPECT_EQ(reader_->CreateEnumObject(path, e), DXFILEERR_FILENOTFOUND);
}

TEST(RegisterTemplates, BrokenBlockRegistersNothing) {
  auto x = CXFile::Create();
  const std::string good =
      "xof 0302txt 0032\ntemplate A { <00000000-0000-0000-0000-000000000001> DWORD a; }\n";
  const std::string bad = good + "template B { <00000000-0000-0000-0000-000000000002> Nope n; }\n";
  EXPECT_LT(x->RegisterTemplates(bad.data(), bad.size()), 0);
  EXPECT_EQ(x->Templates().FindByName("A"), nullptr);
  EXPECT_EQ(x->RegisterTemplates(good.data(), good.size()), DXFILE_OK);
  EXPECT_NE(x->Templates().FindByName("A"), nullptr);
}

}  // namespace
