// Report descriptor parsing: lengths with and without report ids, and bytes that must be refused.
#include "devices/hidreportdescriptor.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes &p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Short items as a device would write them.
const Bytes kAppCollection = {0x05, 0x84, 0x09, 0x04, 0xA1, 0x01}; // usage page power, usage UPS, collection
const Bytes kEnd = {0xC0};
Bytes size8()
{
    return {0x75, 0x08};
}
Bytes count(uint8_t n)
{
    return {0x95, n};
}
Bytes id(uint8_t n)
{
    return {0x85, n};
}
const Bytes kInput = {0x81, 0x02};
const Bytes kOutput = {0x91, 0x02};
const Bytes kFeature = {0xB1, 0x02};

struct Row
{
    const char *why;
    Bytes descriptor;
    int input, output, feature;
    bool ids;
};

} // namespace

TEST(HidReportDescriptor, LengthsIncludeTheReportIdByte)
{
    const Row rows[] = {
        {"no ids: 8 input bytes and 1 output byte, plus the leading 0",
         cat({kAppCollection, size8(), count(8), kInput, count(1), kOutput, kEnd}), 9, 2, 0, false},
        {"no ids: bits are rounded up to whole bytes (3 bits -> 1 byte)",
         cat({kAppCollection, {0x75, 0x01}, count(3), kInput, kEnd}), 2, 0, 0, false},
        {"no ids: items of one kind add up",
         cat({kAppCollection, size8(), count(2), kInput, count(3), kInput, kEnd}), 6, 0, 0, false},
        {"ids: the longest report of each kind counts, plus its id",
         cat({kAppCollection, id(1), size8(), count(4), kInput, id(2), count(10), kInput, count(8), kOutput,
              id(3), count(2), kOutput, count(5), kFeature, kEnd}),
         11, 9, 6, true},
        {"ids: a report split over items of one id adds up",
         cat({kAppCollection, id(1), size8(), count(2), kInput, id(2), count(1), kInput, id(1), count(3),
              kInput, kEnd}),
         6, 0, 0, true},
        {"a long output report (64 bytes)", cat({kAppCollection, size8(), {0x95, 0x40}, kOutput, kEnd}), 0,
         65, 0, false},
        {"Pop restores size and count pushed before",
         cat({kAppCollection,
              size8(),
              count(2),
              {0xA4},
              {0x75, 0x10},
              count(4),
              kInput,
              {0xB4},
              kOutput,
              kEnd}),
         9, 3, 0, false},
        {"long items are skipped whole, even when their data looks like items",
         cat({kAppCollection, {0xFE, 0x03, 0x10, 0x81, 0x02, 0x95}, size8(), count(1), kInput, kEnd}), 2, 0,
         0, false},
        {"four-byte data is read little-endian (count 0x00000102)",
         cat({kAppCollection, size8(), {0x97, 0x02, 0x01, 0x00, 0x00}, kInput, kEnd}), 259, 0, 0, false},
        {"local items and unknown main items change nothing",
         cat({kAppCollection, {0x09, 0x30, 0x19, 0x01, 0x29, 0x05}, size8(), count(1), kInput, {0xD0}, kEnd}),
         2, 0, 0, false},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.why);
        const auto got = parseHidReportDescriptor(r.descriptor.data(), r.descriptor.size());
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(got->Input, r.input);
        EXPECT_EQ(got->Output, r.output);
        EXPECT_EQ(got->Feature, r.feature);
        EXPECT_EQ(got->UsesReportIds, r.ids);
    }
}

TEST(HidReportDescriptor, RefusesBytesThatAreNoUsableDescriptor)
{
    const Bytes good = cat({kAppCollection, size8(), count(8), kInput, kEnd});
    struct Bad
    {
        const char *why;
        Bytes descriptor;
    };
    const Bad rows[] = {
        {"empty", {}},
        {"no main item at all", cat({{0x05, 0x01}, size8(), count(2)})},
        {"item data cut off (count with 2 data bytes, 1 present)",
         cat({kAppCollection, size8(), {0x96, 0x01}})},
        {"four-byte item cut off", cat({kAppCollection, {0x77, 0x01, 0x02}})},
        {"long item header cut off", cat({kAppCollection, {0xFE, 0x05}})},
        {"long item data cut off", cat({kAppCollection, {0xFE, 0x05, 0x00, 0x01, 0x02}})},
        {"Pop without Push", cat({kAppCollection, {0xB4}, size8(), count(1), kInput, kEnd})},
        {"End Collection without Collection", cat({size8(), count(1), kInput, kEnd, kEnd})},
        {"collection never closed", cat({kAppCollection, size8(), count(1), kInput})},
        {"report id 0 is reserved", cat({kAppCollection, id(0), size8(), count(1), kInput, kEnd})},
        {"report id above 255", cat({kAppCollection, {0x86, 0x00, 0x01}, size8(), count(1), kInput, kEnd})},
        {"unknown global item", cat({kAppCollection, {0xC4, 0x00}, size8(), count(1), kInput, kEnd})},
        {"size and count at their maximum do not wrap around",
         cat({kAppCollection, {0x77, 0xFF, 0xFF, 0xFF, 0xFF}, {0x97, 0xFF, 0xFF, 0xFF, 0xFF}, kInput, kEnd})},
        {"one item longer than a 16-bit length",
         cat({kAppCollection, size8(), {0x96, 0xFF, 0xFF}, kInput, kEnd})},
        {"items that only add up past a 16-bit length",
         cat({kAppCollection, size8(), {0x96, 0x00, 0x80}, kInput, kInput, kEnd})},
        {"Push nested deeper than any device needs", cat({kAppCollection, Bytes(17, 0xA4), good, kEnd})},
    };
    for (const Bad &r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_FALSE(parseHidReportDescriptor(r.descriptor.data(), r.descriptor.size()).has_value());
    }
    // the same input cut at every length never reads past the end (ASan watches)
    for (std::size_t n = 0; n < good.size(); ++n) {
        auto *copy = new uint8_t[n == 0 ? 1 : n];
        std::copy(good.begin(), good.begin() + static_cast<long>(n), copy);
        EXPECT_FALSE(parseHidReportDescriptor(copy, n).has_value()) << n;
        delete[] copy;
    }
    EXPECT_FALSE(parseHidReportDescriptor(nullptr, 4).has_value());
}

TEST(HidReportDescriptor, RandomBytesNeverCrash)
{
    std::mt19937 rng(20240611);
    for (int round = 0; round < 2000; ++round) {
        Bytes bytes(rng() % 64);
        for (uint8_t &b : bytes)
            b = static_cast<uint8_t>(rng());
        const auto got = parseHidReportDescriptor(bytes.data(), bytes.size());
        if (got) {
            EXPECT_GE(got->Input, 0);
            EXPECT_LE(got->Input, 0xFFFF);
            EXPECT_LE(got->Output, 0xFFFF);
            EXPECT_LE(got->Feature, 0xFFFF);
        }
    }
}
