// Truncated and bit-flipped files must fail cleanly or read as something; never crash, hang or
// allocate without bound (the sanitizer build runs this too).
#include <gtest/gtest.h>

#include <random>

#include "platform/gfxutil/mesh.h"
#include "platform/gfxutil/skin_mesh.h"
#include "platform/gfxutil/x_info.h"
#include "support/sample_models.h"
#include "support/xfile_test_util.h"

using namespace xfile;

namespace {

struct Variant {
  Encoding enc;
  bool doubles;
};

std::string VariantName(const ::testing::TestParamInfo<Variant>& info) {
  static const char* const kNames[] = {"Text", "Binary", "TextZip", "BinaryZip"};
  return std::string(kNames[static_cast<int>(info.param.enc)]) + (info.param.doubles ? "64" : "32");
}

class CorruptionTest : public ::testing::TestWithParam<Variant> {};

std::vector<uint8_t> Encoded(const CXFile& x, Variant v) {
  std::unique_ptr<CEnumObject> e;
  if (xtest::Open(x, xtest::kSkinnedCube, e) != DXFILE_OK) return {};
  return xtest::Write(*e, v.enc, v.doubles, false);
}

TEST_P(CorruptionTest, TruncationsFailCleanly) {
  auto x = xtest::NewReader();
  const auto bytes = Encoded(*x, GetParam());
  ASSERT_FALSE(bytes.empty());
  std::unique_ptr<CEnumObject> full;
  ASSERT_EQ(xtest::Open(*x, bytes, full), DXFILE_OK);
  const std::string fullDump = xtest::Dump(*full);
  int failures = 0;
  // A proper prefix either fails, or was cut between top-level objects: then it holds exactly
  // the leading ones.
  for (size_t n = 0; n < bytes.size(); ++n) {
    std::unique_ptr<CEnumObject> e;
    const Result r = x->CreateEnumObjectFromMemory(bytes.data(), n, e);
    if (r < 0) {
      ++failures;
      EXPECT_EQ(e, nullptr);
      continue;
    }
    ASSERT_LE(e->Objects().size(), full->Objects().size()) << n;
    const std::string d = xtest::Dump(*e);
    EXPECT_EQ(fullDump.compare(0, d.size(), d), 0) << n;
    // Only trailing blanks may be cut from a file that still reads whole.
    if (e->Objects().size() == full->Objects().size()) {
      EXPECT_EQ(bytes[n], '\n') << n;
    }
  }
  EXPECT_GT(failures, static_cast<int>(bytes.size()) * 9 / 10);
}

TEST_P(CorruptionTest, BitFlipsNeverCrash) {
  auto x = xtest::NewReader();
  const auto bytes = Encoded(*x, GetParam());
  ASSERT_FALSE(bytes.empty());
  std::mt19937 rng(1234 + static_cast<unsigned>(GetParam().enc) * 7 + GetParam().doubles);
  int failed = 0, read = 0;
  for (int round = 0; round < 3000; ++round) {
    auto copy = bytes;
    const int flips = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < flips; ++k) {
      const size_t at = rng() % copy.size();
      if (rng() % 3 == 0)
        copy[at] = static_cast<uint8_t>(rng());  // whole byte, e.g. a count
      else
        copy[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
    }
    std::unique_ptr<CEnumObject> e;
    const Result r = x->CreateEnumObjectFromMemory(copy.data(), copy.size(), e);
    gfxutil::XInfo info;
    std::string error;
    const bool described = gfxutil::DescribeXFile(copy.data(), copy.size(), info, error);
    if (r < 0) {
      // A failure is one of the reader's own errors, with no half-read tree, and the file tool
      // refuses the same bytes.
      ++failed;
      EXPECT_GE(static_cast<uint32_t>(r), static_cast<uint32_t>(DXFILEERR_BADOBJECT)) << round;
      EXPECT_LE(static_cast<uint32_t>(r), static_cast<uint32_t>(DXFILEERR_BADDATAREFERENCE)) << round;
      EXPECT_EQ(e, nullptr) << round;
      EXPECT_FALSE(described) << round;
      continue;
    }
    ++read;
    // Whatever was read must be walkable and writable again (the same tree reads back), and the
    // mesh loaders must cope with whatever counts and indices the damaged data now holds.
    const std::string dump = xtest::Dump(*e);
    const auto rewritten = xtest::Write(*e, Encoding::Binary, GetParam().doubles);
    std::unique_ptr<CEnumObject> again;
    ASSERT_EQ(xtest::Open(*x, rewritten, again), DXFILE_OK) << round;
    EXPECT_EQ(xtest::Dump(*again), dump) << round;
    std::vector<gfxutil::XMaterial> materials;
    uint32_t count = 0;
    auto mesh =
        gfxutil::LoadMeshFromXInMemory(copy.data(), copy.size(), 0, nullptr, nullptr, &materials, &count);
    if (mesh) {
      EXPECT_EQ(materials.size(), count);
    }
    EXPECT_TRUE(described) << error;
    for (const auto& top : e->Objects()) {
      std::vector<const xfile::CDataObject*> stack{top.get()};
      while (!stack.empty()) {
        const xfile::CDataObject* o = stack.back();
        stack.pop_back();
        if (o->Template()->name == "Mesh") {
          std::unique_ptr<gfxutil::CSkinMesh> skin;
          std::vector<uint32_t> adjacency;
          if (gfxutil::LoadSkinMeshFromXof(*o, 0, nullptr, &adjacency, nullptr, nullptr, nullptr, nullptr,
                                           skin) == gfxutil::D3DX_OK) {
            gfxutil::BoneCombinationTable table;
            std::unique_ptr<gfxutil::CMesh> blended;
            skin->ConvertToBlendedMesh(0, adjacency.data(), nullptr, table, nullptr, nullptr, blended);
          }
        }
        for (size_t i = 0; i < o->GetChildCount(); ++i)
          if (!o->GetChild(i).isReference) stack.push_back(o->GetChild(i).object);
      }
    }
  }
  // The damage reaches both outcomes.
  EXPECT_GT(failed, 0);
  EXPECT_GT(read, 0);
}

INSTANTIATE_TEST_SUITE_P(Encodings, CorruptionTest,
                         ::testing::Values(Variant{Encoding::Text, false}, Variant{Encoding::Binary, false},
                                           Variant{Encoding::Binary, true},
                                           Variant{Encoding::TextCompressed, false},
                                           Variant{Encoding::BinaryCompressed, true}),
                         VariantName);

TEST(CorruptionLimits, HugeCountsAreRefusedBeforeAllocating) {
  auto x = xtest::NewReader();
  // Binary list claiming four billion values in a few bytes.
  std::vector<uint8_t> b = {'x', 'o', 'f',  ' ', '0', '3', '0',  '2',  'b',  'i', 'n', ' ',
                            '0', '0', '3',  '2', 1,   0,   4,    0,    0,    0,   'M', 'e',
                            's', 'h', 0x0A, 0,   6,   0,   0xFF, 0xFF, 0xFF, 0xFF};
  std::unique_ptr<CEnumObject> e;
  EXPECT_LT(x->CreateEnumObjectFromMemory(b.data(), b.size(), e), 0);
  // A compressed file whose declared total is enormous but whose blocks hold little.
  std::unique_ptr<CEnumObject> ok;
  ASSERT_EQ(xtest::Open(*x, xtest::kSkinnedCube, ok), DXFILE_OK);
  auto z = xtest::Write(*ok, Encoding::BinaryCompressed, false);
  z[16] = z[17] = z[18] = z[19] = 0xFF;
  EXPECT_LT(x->CreateEnumObjectFromMemory(z.data(), z.size(), e), 0);
  // A multi-dimensional array whose dimensions multiply past 32 bits.
  const std::string t =
      "xof 0303txt 0032\ntemplate G { <00000000-0000-0000-0000-0000000000AA> DWORD a; DWORD b; array "
      "DWORD g[a][b]; }\nG g { 65536; 65536; 1; }\n";
  EXPECT_EQ(xtest::Open(*x, t, e), DXFILEERR_BADARRAYSIZE);
}

}  // namespace
