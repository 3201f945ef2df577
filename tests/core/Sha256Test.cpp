#include "desktop/Sha256.h"

#include <gtest/gtest.h>

using namespace z83;

// Known answers, whole and fed in uneven blocks, on both platforms' libraries.
TEST(Sha256, KnownAnswersWholeAndInBlocks) {
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string million(1000000, 'a');
    Sha256 blocks;
    for (std::size_t at = 0; at < million.size(); at += 4093)
        blocks.update(std::string_view(million).substr(at, 4093));
    EXPECT_EQ(blocks.hexDigest(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}
