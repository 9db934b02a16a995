// Particle definition files.
#include "effect/particle_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "effect/sprite.h"
#include "resource/resource_cache.h"
#include "resource/script_file.h"

namespace {

CParticleFile Parse(const std::string& text, const ResourceCache<CSprite>* sprites = nullptr) {
  return CParticleFile(CScriptFile::FromText(text), sprites);
}

const char* const kSmoke =
    "#sprite\ndata/image/smoke.bmp\n#end\n"
    "#speed\n0\n150\n-25\n#end\n"
    "#acceleration\n0\n-5\n0\n#end\n"
    "#rand\n50\n0\n7\n#end\n"
    "#frict\n90\n100\n0\n#end\n"
    "#alpha\n12\n#end\n"
    "#color\n255\n128\n64\n#end\n"
    "#kill\n40\n#end\n"
    "#scale\n3\n#end\n"
    "#EOF\n";

void ExpectSmoke(const CParticleFile& p) {
  EXPECT_TRUE(p.Loaded());
  EXPECT_FLOAT_EQ(p.speed.x, 0.0f);
  EXPECT_FLOAT_EQ(p.speed.y, 1.5f);
  EXPECT_FLOAT_EQ(p.speed.z, -0.25f);
  EXPECT_EQ(p.speed.w, 0.0f);
  EXPECT_FLOAT_EQ(p.acceleration.y, -0.05f);
  EXPECT_FLOAT_EQ(p.rand.x, 0.5f);
  EXPECT_FLOAT_EQ(p.rand.z, 0.07f);
  EXPECT_FLOAT_EQ(p.frict.x, 0.9f);
  EXPECT_FLOAT_EQ(p.frict.y, 1.0f);
  EXPECT_FLOAT_EQ(p.frict.z, 0.0f);
  EXPECT_EQ(p.alpha, 12.0f);
  EXPECT_EQ(p.red, 255);
  EXPECT_EQ(p.green, 128);
  EXPECT_EQ(p.blue, 64);
  EXPECT_EQ(p.kill, 40);
  EXPECT_FLOAT_EQ(p.scale, 0.03f);
}

}  // namespace

TEST(ParticleFile, ReadsAllNineKeywordsWithTheirScaling) { ExpectSmoke(Parse(kSmoke)); }

TEST(ParticleFile, BlocksMayStandInAnyOrder) {
  const std::string reversed =
      "#scale\n3\n#end\n#kill\n40\n#end\n#color\n255\n128\n64\n#end\n#alpha\n12\n#end\n"
      "#frict\n90\n100\n0\n#end\n#rand\n50\n0\n7\n#end\n#acceleration\n0\n-5\n0\n#end\n"
      "free text between blocks\n#speed\n0\n150\n-25\n#end\n#sprite\ndata/image/smoke.bmp\n#end\n#EOF\n";
  ExpectSmoke(Parse(reversed));
}

TEST(ParticleFile, MissingKeywordsAndShortBlocksReadAsZero) {
  const CParticleFile p = Parse("#speed\n100\n#end\n#color\n9\n#end\n#EOF\n");
  EXPECT_TRUE(p.Loaded());
  EXPECT_FLOAT_EQ(p.speed.x, 1.0f);
  EXPECT_EQ(p.speed.y, 0.0f);
  EXPECT_EQ(p.speed.z, 0.0f);
  EXPECT_EQ(p.red, 9);
  EXPECT_EQ(p.green, 0);
  EXPECT_EQ(p.blue, 0);
  EXPECT_EQ(p.acceleration, gfxutil::Vector4());
  EXPECT_EQ(p.rand, gfxutil::Vector4());
  EXPECT_EQ(p.frict, gfxutil::Vector4());
  EXPECT_EQ(p.alpha, 0.0f);
  EXPECT_EQ(p.kill, 0);
  EXPECT_EQ(p.scale, 0.0f);
  EXPECT_FALSE(p.sprite);
}

TEST(ParticleFile, NumbersReadLikeAtoi) {
  const CParticleFile p = Parse("#speed\n  -12abc\nxyz\n\n#end\n#kill\n+7 frames\n#end\n#EOF\n");
  EXPECT_FLOAT_EQ(p.speed.x, -0.12f);
  EXPECT_EQ(p.speed.y, 0.0f);
  EXPECT_EQ(p.speed.z, 0.0f);
  EXPECT_EQ(p.kill, 7);
}

TEST(ParticleFile, ColourKeepsOnlyTheLowByteAndKillSixteenBits) {
  const CParticleFile p = Parse("#color\n256\n300\n-1\n#end\n#kill\n65537\n#end\n#EOF\n");
  EXPECT_EQ(p.red, 0);
  EXPECT_EQ(p.green, 44);
  EXPECT_EQ(p.blue, 255);
  EXPECT_EQ(p.kill, 1);
}

TEST(ParticleFile, TheFirstBlockOfAKeywordWins) {
  const CParticleFile p = Parse("#alpha\n5\n#end\n#alpha\n9\n#end\n#EOF\n");
  EXPECT_EQ(p.alpha, 5.0f);
}

TEST(ParticleFile, SpriteComesFromTheSpriteCacheItIsGiven) {
  {
    ResourceCache<CSprite> sprites({"data/image/other.bmp", "data/image/smoke.bmp"});
    const CParticleFile p = Parse(kSmoke, &sprites);
    ASSERT_TRUE(p.sprite);
    EXPECT_EQ(p.sprite, sprites.Find("data/image/smoke.bmp"));
    EXPECT_FALSE(Parse(kSmoke).sprite) << "a cache not given is not looked in";
  }
  {
    ResourceCache<CSprite> sprites({"data/image/other.bmp"});
    EXPECT_FALSE(Parse(kSmoke, &sprites).sprite);  // not listed
  }
  EXPECT_FALSE(Parse(kSmoke).sprite);  // no cache at all
}

TEST(ParticleFile, ReadsFromAFileAndFromTheParticleCache) {
  const std::string dir = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/effect_particle_file";
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/smoke.par";
  std::ofstream(path, std::ios::binary) << kSmoke;
  ExpectSmoke(CParticleFile(path, nullptr));
  // The particle cache hands its sprite cache to every file it loads.
  ResourceCache<CSprite> sprites({"data/image/smoke.bmp"});
  ResourceCache<CParticleFile> cache({path}, &sprites);
  ASSERT_TRUE(cache.Find(path));
  ExpectSmoke(*cache.Find(path));
  EXPECT_EQ(cache.Find(path)->sprite, sprites.Find("data/image/smoke.bmp"));
}

TEST(ParticleFile, MissingFileLeavesAnEmptyDefinition) {
  const CParticleFile p(std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/effect_particle_file/none.par", nullptr);
  EXPECT_FALSE(p.Loaded());
  EXPECT_EQ(p.kill, 0);
  EXPECT_FALSE(p.sprite);
}
