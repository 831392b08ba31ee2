#include <gtest/gtest.h>

#include <string>

#include "foundation/Crypto.h"

using namespace vexa;

namespace {

std::string hex(const std::uint8_t* data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

std::string hex(const Sha256Digest& d) { return hex(d.data(), d.size()); }

const std::uint8_t* bytes(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

}  // namespace

TEST(Sha256, PublishedDigests) {
    struct Case {
        std::string message;
        std::string digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hex(Sha256::of(bytes(c.message), c.message.size())), c.digest) << c.message.size();
        // Fed in uneven pieces, the digest is the same.
        Sha256 pieces;
        for (size_t at = 0, step = 1; at < c.message.size(); at += step, step = step * 3 % 97 + 1)
            pieces.update(bytes(c.message) + at, std::min(step, c.message.size() - at));
        EXPECT_EQ(hex(pieces.finish()), c.digest);
    }
}

TEST(HmacSha256, PublishedTags) {
    struct Case {
        std::string key;
        std::string message;
        std::string tag;
    };
    const Case cases[] = {
        {std::string(20, '\x0b'), "Hi There", "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
        {"Jefe", "what do ya want for nothing?", "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
        {std::string(131, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
         "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hex(hmacSha256(bytes(c.key), c.key.size(), bytes(c.message), c.message.size())), c.tag);
}

TEST(ChaCha20, PublishedCipherTextAndRoundTrip) {
    ChaChaKey key;
    for (int i = 0; i < 32; ++i) key[i] = static_cast<std::uint8_t>(i);
    const ChaChaNonce nonce = {0, 0, 0, 0, 0, 0, 0, 0x4a, 0, 0, 0, 0};
    std::string text =
        "Ladies and Gentlemen of the class of '99: If I could offer you only one tip for the future, sunscreen "
        "would be it.";
    std::string data = text;
    chacha20Xor(key, nonce, 1, reinterpret_cast<std::uint8_t*>(data.data()), data.size());
    EXPECT_EQ(hex(bytes(data), data.size()),
              "6e2e359a2568f98041ba0728dd0d6981e97e7aec1d4360c20a27afccfd9fae0bf91b65c5524733ab8f593dabcd62b357"
              "1639d624e65152ab8f530c359f0861d807ca0dbf500d6a6156a38e088a22b65e52bc514d16ccf806818ce91ab7793736"
              "5af90bbf74a35be6b40b8eedf2785e42874d");
    chacha20Xor(key, nonce, 1, reinterpret_cast<std::uint8_t*>(data.data()), data.size());
    EXPECT_EQ(data, text);
}

TEST(ConstantTimeCompare, FindsADifferenceAnywhere) {
    std::uint8_t a[32] = {};
    std::uint8_t b[32] = {};
    EXPECT_TRUE(equalInConstantTime(a, b, sizeof(a)));
    for (size_t i = 0; i < sizeof(a); ++i) {
        b[i] = 0x80;
        EXPECT_FALSE(equalInConstantTime(a, b, sizeof(a))) << i;
        b[i] = 0;
    }
}
