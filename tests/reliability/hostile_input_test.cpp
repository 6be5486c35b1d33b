// Input of any quality: random bytes, with and without commands, and
// repeat blocks nested as deep as the storage allows.
#include "driver/run.h"
#include "platform/memory_platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace veldran {
namespace {

struct Result {
  int exitCode = -1;
  std::string output;
  std::string console;
};

Result run(const std::string &input) {
  MemoryPlatform platform;
  platform.files["TEST.INP"] = input;
  Result r;
  r.exitCode = runVeldran(platform, {});
  r.output = platform.files["TEST.OUT"];
  r.console = platform.console;
  return r;
}

// Random bytes, one in `controlEvery` of them a line end, an end-of-file
// mark, a NUL byte or a percent sign.
std::string randomBytes(std::uint32_t seed, std::size_t size,
                        std::uint32_t controlEvery = 4) {
  static const char *const kControl[] = {"\r\n", "\r", "\n", "\x1A", "%"};
  std::string bytes;
  std::uint32_t state = seed;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  while (bytes.size() < size) {
    std::uint32_t r = next();
    if (r % controlEvery == 0)
      bytes +=
          (r >> 8) % 6 == 0 ? std::string(1, '\0') : kControl[(r >> 16) % 5];
    else
      bytes += static_cast<char>(r >> 24);
  }
  return bytes;
}

// What the line model makes of text without commands: each line is what
// the 256-byte window holds up to the first CR LF, or the whole window with
// a message; end-of-file marks at the start of a line are skipped.
Result plainText(const std::string &in) {
  Result r;
  r.exitCode = 0;
  std::size_t pos = 0;
  int line = 0;
  auto skipMarks = [&] {
    while (pos < in.size() && in[pos] == '\x1A')
      ++pos;
  };
  for (skipMarks(); pos < in.size(); skipMarks()) {
    ++line;
    std::size_t end = std::min(in.size(), pos + 256);
    std::size_t lf = pos + 1;
    while (lf < end && !(in[lf] == '\n' && in[lf - 1] == '\r'))
      ++lf;
    if (lf < end) {
      end = lf + 1;
    } else {
      std::string n = std::to_string(line);
      r.console += n + "/" + n + " Eingabe-Zeile zu lang\n";
    }
    r.output += in.substr(pos, end - pos);
    pos = end;
  }
  return r;
}

TEST(HostileInput, BinaryTextWithoutCommandsFollowsTheLineModel) {
  // Short lines, and lines mostly longer than 256 bytes.
  for (std::uint32_t seed : {1u, 2u, 3u, 4u}) {
    std::string input = randomBytes(seed, 300000, seed <= 2 ? 4 : 64);
    for (char &c : input)
      if (c == '%')
        c = '#';
    Result expected = plainText(input);
    Result actual = run(input);
    EXPECT_EQ(actual.exitCode, 0) << "seed " << seed;
    EXPECT_TRUE(actual.output == expected.output) << "seed " << seed;
    EXPECT_EQ(actual.console, expected.console) << "seed " << seed;
    if (seed > 2) {
      EXPECT_GT(expected.console.size(), 10000u);
    }
  }
}

TEST(HostileInput, BinaryTextWithCommandsEndsNormally) {
  for (std::uint32_t seed = 1; seed <= 8; ++seed) {
    Result r = run(randomBytes(seed, 65536, seed % 2 == 0 ? 4 : 64));
    EXPECT_EQ(r.exitCode, 0) << "seed " << seed;
  }
}

std::string nestedRepeats(int depth) {
  std::string s;
  for (int i = 0; i < depth; ++i)
    s += "%RPTN 1;\r\n";
  s += "x\r\n";
  for (int i = 0; i < depth; ++i)
    s += "%REND\r\n";
  return s;
}

TEST(HostileInput, NestedRepeatBlocksAsDeepAsTheStorageAllows) {
  // Each level records what lies between its RPTN and its REND anew: 17
  // bytes for each level inside it and 3 for the line x, 763,350 bytes
  // for 300 levels together.
  Result r = run(nestedRepeats(300));
  EXPECT_EQ(r.output, "x\r\n");
  EXPECT_EQ(r.console, "");
}

TEST(HostileInput, NestedRepeatBlocksBeyondTheStorageEndTheRun) {
  // With 400 levels the bodies of levels 1 to 208 take 1,045,512 bytes,
  // and 1,256 are on the stack: a condition save for each level and the
  // repeat frame of level 209. Level 209 has recorded 148 lines of level
  // 208's body, 1,480 bytes, when line 150 no longer fits in the 4 bytes
  // left. All of it runs while the outer REND, line 801, is read.
  Result r = run(nestedRepeats(400));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output, "");
  EXPECT_EQ(r.console, "801/150 Macro-storage not big enough - abend\n");
}

} // namespace
} // namespace veldran
