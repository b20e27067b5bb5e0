// Report descriptor walk: sums the bits of each report per kind and report id.
#include "devices/hidreportdescriptor.h"

#include <array>
#include <vector>

namespace {

// Item types of the short-item prefix (bits 2-3).
constexpr int kMain = 0;
constexpr int kGlobal = 1;

// Main item tags.
constexpr int kInput = 0x8;
constexpr int kOutput = 0x9;
constexpr int kCollection = 0xA;
constexpr int kFeature = 0xB;
constexpr int kEndCollection = 0xC;

// Global item tags.
constexpr int kReportSize = 0x7;
constexpr int kReportId = 0x8;
constexpr int kReportCount = 0x9;
constexpr int kPush = 0xA;
constexpr int kPop = 0xB;

constexpr uint8_t kLongItemPrefix = 0xFE;

// Lengths are 16-bit on the wire of the layer above, id byte included.
constexpr uint64_t kMaxReportBits = (0xFFFFull - 1) * 8;
// Deep enough for any real device, small enough that garbage cannot grow it.
constexpr std::size_t kMaxPushDepth = 16;

struct GlobalState
{
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint32_t reportId = 0;
};

int lengthOf(const std::array<uint64_t, 256> &bits)
{
    uint64_t longest = 0;
    for (uint64_t b : bits)
        if (b > longest) longest = b;
    return longest == 0 ? 0 : static_cast<int>((longest + 7) / 8) + 1;
}

} // namespace

std::optional<HidReportLengths> parseHidReportDescriptor(const uint8_t *data, std::size_t size)
{
    if (data == nullptr && size != 0) return std::nullopt;

    // bits[kind][report id]; kind 0 input, 1 output, 2 feature
    std::array<std::array<uint64_t, 256>, 3> bits{};
    GlobalState global;
    std::vector<GlobalState> stack;
    long collectionDepth = 0;
    bool usesIds = false;
    bool anyReport = false;

    std::size_t pos = 0;
    while (pos < size) {
        const uint8_t prefix = data[pos];
        if (prefix == kLongItemPrefix) {
            // 0xFE, data size, long tag, then the data: no meaning for reports
            if (size - pos < 3) return std::nullopt;
            const std::size_t dataSize = data[pos + 1];
            if (size - pos - 3 < dataSize) return std::nullopt;
            pos += 3 + dataSize;
            continue;
        }
        const std::size_t dataSize = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (size - pos - 1 < dataSize) return std::nullopt;
        uint32_t value = 0;
        for (std::size_t i = 0; i < dataSize; ++i)
            value |= static_cast<uint32_t>(data[pos + 1 + i]) << (8 * i);
        const int type = (prefix >> 2) & 3;
        const int tag = prefix >> 4;
        pos += 1 + dataSize;

        if (type == kMain) {
            int kind = -1;
            switch (tag) {
            case kInput:
                kind = 0;
                break;
            case kOutput:
                kind = 1;
                break;
            case kFeature:
                kind = 2;
                break;
            case kCollection:
                ++collectionDepth;
                break;
            case kEndCollection:
                if (--collectionDepth < 0) return std::nullopt;
                break;
            default:
                break; // unknown main items carry no report data
            }
            if (kind >= 0) {
                const uint64_t itemBits = static_cast<uint64_t>(global.reportSize) * global.reportCount;
                uint64_t &sum = bits[kind][global.reportId];
                if (itemBits > kMaxReportBits || sum + itemBits > kMaxReportBits) return std::nullopt;
                sum += itemBits;
                anyReport = true;
            }
        } else if (type == kGlobal) {
            switch (tag) {
            case kReportSize:
                global.reportSize = value;
                break;
            case kReportCount:
                global.reportCount = value;
                break;
            case kReportId:
                if (value == 0 || value > 255) return std::nullopt;
                global.reportId = value;
                usesIds = true;
                break;
            case kPush:
                if (stack.size() >= kMaxPushDepth) return std::nullopt;
                stack.push_back(global);
                break;
            case kPop:
                if (stack.empty()) return std::nullopt;
                global = stack.back();
                stack.pop_back();
                break;
            case 0x0: // usage page
            case 0x1: // logical minimum
            case 0x2: // logical maximum
            case 0x3: // physical minimum
            case 0x4: // physical maximum
            case 0x5: // unit exponent
            case 0x6: // unit
                break;
            default:
                return std::nullopt;
            }
        }
        // local items and reserved short items do not change report lengths
    }
    if (collectionDepth != 0 || !anyReport) return std::nullopt;

    HidReportLengths lengths;
    lengths.Input = lengthOf(bits[0]);
    lengths.Output = lengthOf(bits[1]);
    lengths.Feature = lengthOf(bits[2]);
    lengths.UsesReportIds = usesIds;
    return lengths;
}
