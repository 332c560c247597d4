// The datagram layout, the text forms of its fields, the acceptance rules and
// the text conversions the exchanges depend on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "net/address_text.h"
#include "net/datagram.h"
#include "net/device_table.h"
#include "tests/host/net/scripted_port.h"

namespace net::fake {
namespace {

DeviceRecord RecordOf(const std::vector<std::uint8_t>& bytes) {
    DeviceRecord record;
    std::memcpy(record.bytes, bytes.data(), kDatagramSize);
    return record;
}

std::vector<std::uint8_t> Bytes(const Datagram& d) {
    return std::vector<std::uint8_t>(d, d + kDatagramSize);
}

TEST(RecordFields, ShowMacAndAddressAsTheListDoesWithHighOctetsUnsigned) {
    ReplyFields usual;  // MAC 00 1A 2B 3C 4D 5E, address C0 A8 00 32
    ReplyFields high;
    std::memset(high.mac, 0xFF, 6);
    std::memset(high.address, 0xFF, 4);
    const struct {
        ReplyFields reply;
        const char* mac;
        const char* address;
    } cases[] = {{usual, "00:1a:2b:3c:4d:5e", "192.168.0.50"},
                 {high, "ff:ff:ff:ff:ff:ff", "255.255.255.255"}};
    for (const auto& c : cases) {
        const DeviceRecord record = RecordOf(Reply(c.reply));
        char mac[kMacTextSize];
        char address[kAddressTextSize];
        FormatMac(record, mac);
        FormatAddress(record, address);
        EXPECT_STREQ(c.mac, mac);
        EXPECT_STREQ(c.address, address);
    }
}

TEST(ConverterName, EndsAtTheFirstNulAndMayBeEmpty) {
    char name[kNameTextSize];
    ReadConverterName(RecordOf(DiscoveryReply(std::string("WLI-T1-S11G\0junk", 16))), name);
    EXPECT_STREQ("WLI-T1-S11G", name);
    ReadConverterName(RecordOf(DiscoveryReply("")), name);
    EXPECT_STREQ("", name);
}

TEST(ConverterName, FillingAllSixtyEightBytesReadsNothingBeyondTheDatagram) {
    // Two records side by side, as in the table: the first name has no NUL,
    // the second begins with more text that must not show up.
    DeviceRecord records[2];
    std::memset(records, 'X', sizeof records);
    std::memset(records[0].bytes + kNameOffset, 'N', kNameLength);
    char name[kNameTextSize];
    std::memset(name, '?', sizeof name);
    ReadConverterName(records[0], name);
    EXPECT_EQ(std::string(kNameLength, 'N'), std::string(name));
    EXPECT_EQ('\0', name[kNameLength]);
}

TEST(Requests, DiscoveryRequestIsTheProtocolByteAndZeros) {
    Datagram d;
    std::memset(d, 0xEE, sizeof d);
    BuildDiscoveryRequest(d);
    std::vector<std::uint8_t> expected(kDatagramSize, 0);
    expected[0] = 1;
    EXPECT_EQ(expected, Bytes(d));
}

TEST(Requests, AssignRequestCarriesAccessWordMacAndAddressOnly) {
    Datagram d;
    std::memset(d, 0xEE, sizeof d);
    const std::uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    BuildAssignRequest(d, mac, Ip(192, 168, 0, 50));
    std::vector<std::uint8_t> expected(kDatagramSize, 0);
    expected[0] = 0x01;
    expected[1] = 0x02;
    const char word[] = "ladder";
    std::memcpy(expected.data() + 4, word, 6);
    std::memcpy(expected.data() + 36, mac, 6);
    const std::uint8_t address[4] = {0xC0, 0xA8, 0x00, 0x32};
    std::memcpy(expected.data() + 44, address, 4);
    EXPECT_EQ(expected, Bytes(d));
    EXPECT_EQ(0, d[10]) << "the access word has no terminator inside its field";
}

TEST(Acceptance, TakesAWholeReplyOfTheRunningExchangeFromPort192) {
    const auto reply = DiscoveryReply("A");
    EXPECT_TRUE(AcceptReply(reply.data(), 116, 192, kDiscoveryReply));
    const auto assign = AssignReply(1);
    EXPECT_TRUE(AcceptReply(assign.data(), 116, 192, kAssignReply));
}

TEST(Acceptance, DropsShortWrongPortWrongProtocolAndWrongOperation) {
    auto reply = DiscoveryReply("A");
    EXPECT_FALSE(AcceptReply(reply.data(), 115, 192, kDiscoveryReply));
    EXPECT_FALSE(AcceptReply(reply.data(), 0, 192, kDiscoveryReply));
    EXPECT_FALSE(AcceptReply(reply.data(), 116, 193, kDiscoveryReply));
    EXPECT_FALSE(AcceptReply(reply.data(), 116, 0xC000, kDiscoveryReply))
        << "port 192 in the wrong byte order";
    EXPECT_FALSE(AcceptReply(reply.data(), 116, 192, kAssignReply))
        << "a discovery reply during an assign exchange";
    const auto assign = AssignReply(1);
    EXPECT_FALSE(AcceptReply(assign.data(), 116, 192, kDiscoveryReply))
        << "an assign reply during a scan";
    reply[0] = 2;
    EXPECT_FALSE(AcceptReply(reply.data(), 116, 192, kDiscoveryReply));
    reply[0] = 0;
    EXPECT_FALSE(AcceptReply(reply.data(), 116, 192, kDiscoveryReply));
}

TEST(Acceptance, StatusBytesDoNotMatter) {
    ReplyFields fields;
    fields.status = 0xBEEF;
    const auto reply = Reply(fields);
    EXPECT_TRUE(AcceptReply(reply.data(), 116, 192, kDiscoveryReply));
}

TEST(Identity, OnlyNameBytes48To79TellConvertersApart) {
    ReplyFields a;
    a.name = std::string(32, 'A') + "first";
    ReplyFields b = a;
    b.name = std::string(32, 'A') + "second";
    b.mac[5] = 0x99;
    b.address[3] = 99;
    EXPECT_TRUE(SameIdentity(Reply(a).data(), Reply(b).data()));
    b.name = std::string(31, 'A') + "B";
    EXPECT_FALSE(SameIdentity(Reply(a).data(), Reply(b).data()));
}

struct MacCase {
    const char* text;
    std::vector<std::uint8_t> bytes;
};

class MacText : public ::testing::TestWithParam<MacCase> {};

TEST_P(MacText, GivesTheSixBytes) {
    std::uint8_t mac[6];
    std::memset(mac, 0xEE, sizeof mac);
    ParseMacText(GetParam().text, mac);
    EXPECT_EQ(GetParam().bytes, std::vector<std::uint8_t>(mac, mac + 6)) << GetParam().text;
}

const std::vector<std::uint8_t> kExampleMac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

INSTANTIATE_TEST_SUITE_P(
    ListForms, MacText,
    ::testing::Values(MacCase{"00:1a:2b:3c:4d:5e", kExampleMac},
                      MacCase{"00:1A:2B:3C:4D:5E", kExampleMac},
                      MacCase{"00-1a-2b-3c-4d-5e", kExampleMac},
                      MacCase{"00a1aZ2b\x01" "3c94d.5e", kExampleMac},  // separators unread
                      MacCase{"00:1a:2b:3c:4d:5e:ff:ff", kExampleMac},  // nothing after 16
                      MacCase{"ff:ff:ff:ff:ff:ff", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}));

INSTANTIATE_TEST_SUITE_P(
    MalformedForms, MacText,
    ::testing::Values(
        // The text ends early: missing digits are passed over, unstarted bytes are 0.
        MacCase{"00:1a:2b", {0x00, 0x1A, 0x2B, 0x00, 0x00, 0x00}},
        MacCase{"00:1a:2", {0x00, 0x1A, 0x02, 0x00, 0x00, 0x00}},
        MacCase{"", {0, 0, 0, 0, 0, 0}},
        // A non-digit at an even position starts no byte, so the next even
        // digit starts it; an odd digit before any byte is passed over.
        MacCase{"g0:1a:2b:3c:4d:5e", {0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x00}},
        // A non-digit at an odd position leaves the byte at its first half.
        MacCase{"0g:1a:2b:3c:4d:5e", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
        MacCase{"1g:1a:2b:3c:4d:5e", {0x01, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
        // Two odd digits on the same byte shift it within its 8 bits.
        MacCase{"12:x4:2b:3c:4d:5e", {0x24, 0x2B, 0x3C, 0x4D, 0x5E, 0x00}}));

TEST(MacTextNull, GivesZeros) {
    std::uint8_t mac[6];
    std::memset(mac, 0xEE, sizeof mac);
    ParseMacText(nullptr, mac);
    EXPECT_EQ(std::vector<std::uint8_t>(6, 0), std::vector<std::uint8_t>(mac, mac + 6));
}

TEST(AddressText, DottedQuadsConvertToNetworkOrder) {
    EXPECT_EQ(Ip(192, 168, 0, 50), InetAddr("192.168.0.50"));
    EXPECT_EQ(Ip(0, 0, 0, 0), InetAddr("0.0.0.0"));
    EXPECT_EQ(Ip(255, 255, 255, 0), InetAddr("255.255.255.0"));
    EXPECT_EQ(Ip(10, 0, 0, 1), InetAddr("10.0.0.1 trailing"));
}

TEST(AddressText, ShortAndNumberedFormsFollowInetAddr) {
    EXPECT_EQ(Ip(10, 0, 0, 1), InetAddr("10.1"));
    EXPECT_EQ(Ip(10, 1, 0, 2), InetAddr("10.1.2"));
    EXPECT_EQ(Ip(192, 168, 0, 1), InetAddr("0xC0.0250.0.1"));
    EXPECT_EQ(Ip(1, 2, 3, 4), InetAddr("16909060"));
}

TEST(AddressText, AnythingElseIsInaddrNone) {
    for (const char* bad : {"", " 1.2.3.4", "1.2.3.256", "1.2.3.4.5", "1.2.3.", "a.b.c.d",
                            "1.2.3.4x", "08.1.1.1", "1..2.3", "4294967296", "1.16777216",
                            "1.2.65536", "-1.2.3.4"}) {
        EXPECT_EQ(kInaddrNone, InetAddr(bad)) << '"' << bad << '"';
    }
    EXPECT_EQ(kInaddrNone, InetAddr(nullptr));
}

TEST(AddressText, FormatsWhatInetNtoaWrites) {
    char text[kAddressTextSize];
    FormatInAddr(Ip(192, 168, 0, 2), text);
    EXPECT_STREQ("192.168.0.2", text);
    FormatInAddr(Ip(255, 255, 255, 255), text);
    EXPECT_STREQ("255.255.255.255", text);
    FormatInAddr(0, text);
    EXPECT_STREQ("0.0.0.0", text);
}

}  // namespace
}  // namespace net::fake
