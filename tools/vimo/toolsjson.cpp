#include "toolsjson.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "common.h"
#include "results.h"
#include "vimo/vimo.h"

namespace vimo_cli {
namespace {

// Export multiplies stored radians by this; import divides.
const double kDegreesPerRadian = 57.29577951308232;
const unsigned kEmptySlot = INS_SHAPE_TYPE_EMPTY_SLOT;
// Where an import notes the keys a description gave before the defaults filled in the rest.
const char* const kGivenKey = "\x01given";
// Deeper trees are refused, as the library refuses them.
const unsigned kMaxDepth = 256;

struct ClassInfo {
  const char* name;
  unsigned type;
  uint8_t code;     // byte 1 of the signature
  uint8_t version;  // byte 2: the class's file version
};

const ClassInfo kClasses[] = {
    {"ECircleShape", INS_SHAPE_TYPE_CIRCLE_SHAPE, 0x11, 4},
    {"EFrameShape", INS_SHAPE_TYPE_FRAME_SHAPE, 0x12, 4},
    {"ERectangleShape", INS_SHAPE_TYPE_RECTANGLE_SHAPE, 0x13, 4},
    {"EPointShape", INS_SHAPE_TYPE_POINT_SHAPE, 0x14, 4},
    {"ELineShape", INS_SHAPE_TYPE_LINE_SHAPE, 0x15, 4},
    {"EWorldShape", INS_SHAPE_TYPE_WORLD_SHAPE, 0x16, 4},
    {"EWedgeShape", INS_SHAPE_TYPE_WEDGE_SHAPE, 0x17, 4},
    {"EBGABall", INS_SHAPE_TYPE_BGA_BALL, 0x18, 4},
    {"EBGAArray", INS_SHAPE_TYPE_BGA_ARRAY, 0x19, 4},
    {"EBGAComponent", INS_SHAPE_TYPE_BGA_COMPONENT, 0x20, 4},
    {"ECircleGauge", INS_SHAPE_TYPE_CIRCLE_GAUGE, 0x21, 4},
    {"ERectangleGauge", INS_SHAPE_TYPE_RECTANGLE_GAUGE, 0x23, 5},
    {"EPointGauge", INS_SHAPE_TYPE_POINT_GAUGE, 0x24, 4},
    {"ELineGauge", INS_SHAPE_TYPE_LINE_GAUGE, 0x25, 4},
    {"EWedgeGauge", INS_SHAPE_TYPE_WEDGE_GAUGE, 0x27, 4},
};

const ClassInfo* ClassByType(unsigned type) {
  for (const ClassInfo& c : kClasses)
    if (c.type == type) return &c;
  return nullptr;
}
const ClassInfo* ClassByCode(unsigned code) {
  for (const ClassInfo& c : kClasses)
    if (c.code == code) return &c;
  return nullptr;
}
const ClassInfo* ClassByName(const std::string& name) {
  for (const ClassInfo& c : kClasses)
    if (name == c.name) return &c;
  return nullptr;
}

// Names of enumeration values and flag bits, as the API spells them.
typedef std::vector<std::pair<long long, const char*>> NameTable;
const NameTable kDraggingModes = {{0, "INS_DRAG_ABOUT_CENTER"}, {1, "INS_DRAG_FROM_FIXED_POINT"}};
const NameTable kTransitionTypes = {{0, "GGE_DARK_TO_BRIGHT"},
                                    {1, "GGE_BRIGHT_TO_DARK"},
                                    {2, "GGE_ANY_EDGE"},
                                    {3, "GGE_BRIGHT_BAR"},
                                    {4, "GGE_DARK_BAR"}};
const NameTable kTransitionChoices = {{0, "GGE_FROM_BEGIN"},        {1, "GGE_FROM_END"},
                                      {2, "GGE_MAX_AMPLITUDE"},     {3, "GGE_MAX_AREA"},
                                      {4, "GGE_CLOSEST_TO_CENTER"}, {5, "GGE_ALL_PEAKS"}};
const NameTable kSamplingModes = {{0, "GGE_SAMPLING_PIXEL_WALK"}, {1, "GGE_SAMPLING_INTERPOLATED"}};
const NameTable kClippingModes = {{1, "GGE_CLIPPING_NOMINAL_LENGTH"},
                                  {2, "GGE_CLIPPING_SAMPLE_SPAN"},
                                  {3, "GGE_CLIPPING_TOLERANCE_BOX"}};
const NameTable kFittingModes = {{1, "GGE_FITTING_UNWEIGHTED"}, {2, "GGE_FITTING_WEIGHTED"}};
const NameTable kBehaviorFlags = {
    {0x00000001, "Visible"},     {0x00000002, "Selected"},     {0x00000004, "Selectable"},
    {0x00000008, "Dragable"},    {0x00000010, "Rotatable"},    {0x00000020, "Resizable"},
    {0x00000100, "AutoArrange"}, {0x00000200, "Labeled"},      {0x00000400, "Active"},
    {0x00000800, "Found"},       {0x00001000, "Inspected"},    {0x00002000, "Passed"},
    {0x00004000, "QuickDraw"},   {0x00008000, "OptionalDraw"}, {0x00010000, "ActualShape"},
    {0x10000000, "UserFlag"},    {0x20000000, "Allocated"},    {0x40000000, "Indexed"},
    {0x80000000, "2DArray"}};
const NameTable kCalibrationModes = {
    {0x0001, "E_CALIBRATION_RAW"},        {0x0002, "E_CALIBRATION_INVERSE"},
    {0x0004, "E_CALIBRATION_SCALED"},     {0x0008, "E_CALIBRATION_ANISOTROPIC"},
    {0x0010, "E_CALIBRATION_SKEWED"},     {0x0020, "E_CALIBRATION_TILTED"},
    {0x0040, "E_CALIBRATION_RADIAL"},     {0x0080, "E_CALIBRATION_RADIAL2"},
    {0x0100, "E_CALIBRATION_BILINEAR"},   {0x0200, "E_CALIBRATION_QUADRATIC"},
    {0x0800, "E_CALIBRATION_POLYNOMIAL"}, {0x1000, "E_CALIBRATION_USER"}};

// A float as the shortest decimal that converts back to the same float through value / factor
// in double precision (the way import converts it). Non-finite values become strings.
OrderedJson FloatToJson(float f, double factor) {
  if (std::isnan(f)) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    if (bits == 0x7FC00000u) return "NaN";
    char text[24];
    std::snprintf(text, sizeof text, "NaN:0x%08X", bits);
    return text;
  }
  if (std::isinf(f)) return f > 0 ? "Infinity" : "-Infinity";
  const double value = double(f) * factor;
  char text[40];
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(text, sizeof text, "%.*g", precision, value);
    double parsed = std::strtod(text, nullptr);
    const float back = static_cast<float>(parsed / factor);
    if (std::memcmp(&back, &f, 4) == 0) return parsed;  // bit for bit: -0 is not 0
  }
  return value;  // not reached: 17 digits always convert back
}

// The shape file's bytes, read in order with every read checked against the end.
class ByteReader {
 public:
  explicit ByteReader(const std::vector<uint8_t>& bytes) : m_Bytes(bytes) {}
  void Read(void* out, size_t size, const std::string& what) {
    if (m_Bytes.size() - m_Position < size)
      throw ToolsFormatError("truncated: the file ends at byte " + std::to_string(m_Bytes.size()) +
                             " inside " + what);
    std::memcpy(out, m_Bytes.data() + m_Position, size);
    m_Position += size;
  }
  size_t Position() const { return m_Position; }
  size_t Remaining() const { return m_Bytes.size() - m_Position; }
  const uint8_t* At(size_t position) const { return m_Bytes.data() + position; }

 private:
  const std::vector<uint8_t>& m_Bytes;
  size_t m_Position = 0;
};

// One JSON object being written (export) or read (import). On import it remembers which keys
// the record used, so that a key no record knows is reported.
struct Node {
  OrderedJson json = OrderedJson::object();
  std::string path;
  std::set<std::string> given;  // import: the keys the description itself holds
  std::set<std::string> used;
};

// Walks one shape file record by record. Exporting, it reads the bytes and fills JSON nodes;
// importing, it reads JSON nodes and appends the bytes. The layout is written once, in the
// record functions below, for both directions.
class Codec {
 public:
  explicit Codec(const std::vector<uint8_t>& file) : m_Exporting(true), m_Reader(file) {}
  Codec() : m_Exporting(false), m_Reader(m_Out) {}

  bool Exporting() const { return m_Exporting; }
  ByteReader& Reader() { return m_Reader; }
  std::vector<uint8_t>& Out() { return m_Out; }

  [[noreturn]] void Fail(const Node& node, const std::string& key, const std::string& problem) {
    throw ToolsFormatError(node.path + (key.empty() ? "" : "." + key) + ": " + problem);
  }

  // Raw little-endian bytes.
  void Bytes(void* bytes, size_t size, const Node& node, const std::string& key) {
    if (m_Exporting)
      m_Reader.Read(bytes, size, node.path + "." + key);
    else
      m_Out.insert(m_Out.end(), static_cast<uint8_t*>(bytes), static_cast<uint8_t*>(bytes) + size);
  }

  // The value an import reads for key (null when absent), marked as used.
  const OrderedJson* Get(Node& node, const std::string& key) {
    node.used.insert(key);
    auto it = node.json.find(key);
    return it == node.json.end() ? nullptr : &*it;
  }

  // A record's version byte (or 32-bit word): stored in "RecordVersions" only when it is not the
  // record's current one. Returns it; one above `current` is refused as the library refuses it.
  unsigned Version(Node& node, const std::string& key, unsigned current, size_t size = 1,
                   unsigned newest = 0) {
    if (newest < current) newest = current;
    uint32_t value = current;
    if (m_Exporting) {
      Bytes(&value, size, node, "RecordVersions." + key);
      if (value > newest)
        Fail(node, "RecordVersions." + key,
             "record version " + std::to_string(value) + " is newer than this tool reads");
      if (value != current) node.json["RecordVersions"][key] = value;
    } else {
      const OrderedJson* versions = Get(node, "RecordVersions");
      if (versions != nullptr && versions->is_object() && versions->contains(key)) {
        const OrderedJson& v = (*versions)[key];
        if (!v.is_number_unsigned() || v.get<unsigned long long>() > newest)
          Fail(node, "RecordVersions." + key,
               "expected an integer from 0 to " + std::to_string(newest));
        value = v.get<uint32_t>();
      } else if (versions != nullptr && !versions->is_object()) {
        Fail(node, "RecordVersions", "expected an object");
      }
      Bytes(&value, size, node, key);
    }
    return value;
  }

  // `count` floats under key (one: a number; more: an array), each multiplied by `factor`.
  void Floats(Node& node, const std::string& key, unsigned count, double factor = 1.0) {
    float values[4];
    if (m_Exporting) {
      for (unsigned i = 0; i < count; ++i) Bytes(&values[i], 4, node, key);
      if (count == 1) {
        node.json[key] = FloatToJson(values[0], factor);
      } else {
        OrderedJson array = OrderedJson::array();
        for (unsigned i = 0; i < count; ++i) array.push_back(FloatToJson(values[i], factor));
        node.json[key] = array;
      }
      return;
    }
    const OrderedJson* value = Get(node, key);
    if (value == nullptr) Fail(node, key, "missing");
    if (count > 1 && !(value->is_array() && value->size() == count))
      Fail(node, key, "expected an array of " + std::to_string(count) + " numbers");
    for (unsigned i = 0; i < count; ++i) {
      const OrderedJson& v = count == 1 ? *value : (*value)[i];
      values[i] = JsonToFloat(node, key, v, factor);
      Bytes(&values[i], 4, node, key);
    }
  }
  void Float(Node& node, const std::string& key, double factor = 1.0) {
    Floats(node, key, 1, factor);
  }
  void Angle(Node& node, const std::string& key) { Floats(node, key, 1, kDegreesPerRadian); }

  void Unsigned(Node& node, const std::string& key) {
    uint32_t value = 0;
    if (m_Exporting) {
      Bytes(&value, 4, node, key);
      node.json[key] = value;
      return;
    }
    const OrderedJson* v = Get(node, key);
    if (v == nullptr) Fail(node, key, "missing");
    if (!v->is_number_unsigned() || v->get<unsigned long long>() > 0xFFFFFFFFull)
      Fail(node, key, "expected an integer from 0 to 4294967295");
    value = v->get<uint32_t>();
    Bytes(&value, 4, node, key);
  }

  void Signed(Node& node, const std::string& key) {
    int32_t value = 0;
    if (m_Exporting) {
      Bytes(&value, 4, node, key);
      node.json[key] = value;
      return;
    }
    const OrderedJson* v = Get(node, key);
    if (v == nullptr) Fail(node, key, "missing");
    value = JsonToInt32(node, key, *v);
    Bytes(&value, 4, node, key);
  }

  // A 32-bit enumeration: its name when it has one, else its number.
  void Enum(Node& node, const std::string& key, const NameTable& names) {
    int32_t value = 0;
    if (m_Exporting) {
      Bytes(&value, 4, node, key);
      for (const auto& n : names)
        if (n.first == value) {
          node.json[key] = n.second;
          return;
        }
      node.json[key] = value;
      return;
    }
    const OrderedJson* v = Get(node, key);
    if (v == nullptr) Fail(node, key, "missing");
    if (v->is_string()) {
      bool known = false;
      for (const auto& n : names)
        if (v->get<std::string>() == n.second) {
          value = static_cast<int32_t>(n.first);
          known = true;
        }
      if (!known) Fail(node, key, "unknown value \"" + v->get<std::string>() + "\"");
    } else {
      value = JsonToInt32(node, key, *v);
    }
    Bytes(&value, 4, node, key);
  }

  // A 32-bit flag word: the names of its bits, and the number of any unnamed ones.
  void Flags(Node& node, const std::string& key, const NameTable& names) {
    uint32_t value = 0;
    if (m_Exporting) {
      Bytes(&value, 4, node, key);
      OrderedJson array = OrderedJson::array();
      uint32_t rest = value;
      for (const auto& n : names)
        if (value & n.first) {
          array.push_back(n.second);
          rest &= ~static_cast<uint32_t>(n.first);
        }
      if (rest != 0) array.push_back(rest);
      node.json[key] = array;
      return;
    }
    const OrderedJson* v = Get(node, key);
    if (v == nullptr) Fail(node, key, "missing");
    if (v->is_number_unsigned() && v->get<unsigned long long>() <= 0xFFFFFFFFull) {
      value = v->get<uint32_t>();
    } else if (v->is_array()) {
      for (const OrderedJson& item : *v) {
        if (item.is_number_unsigned() && item.get<unsigned long long>() <= 0xFFFFFFFFull) {
          value |= item.get<uint32_t>();
          continue;
        }
        bool known = false;
        if (item.is_string())
          for (const auto& n : names)
            if (item.get<std::string>() == n.second) {
              value |= static_cast<uint32_t>(n.first);
              known = true;
            }
        if (!known) Fail(node, key, "unknown flag " + item.dump());
      }
    } else {
      Fail(node, key, "expected an array of flag names");
    }
    Bytes(&value, 4, node, key);
  }

  // A child object under key: on export the caller stores child.json once it is filled.
  Node Child(Node& node, const std::string& key, const OrderedJson* value) {
    Node child;
    child.path = node.path + "." + key;
    if (!m_Exporting) {
      if (value == nullptr || !value->is_object()) Fail(node, key, "expected an object");
      child.json = *value;
      // Complete() lists the keys the description itself gave under kGivenKey.
      auto marked = value->find(kGivenKey);
      if (marked != value->end()) {
        for (const OrderedJson& k : *marked) child.given.insert(k.get<std::string>());
        child.used.insert(kGivenKey);
      } else {
        for (auto it = value->begin(); it != value->end(); ++it) child.given.insert(it.key());
      }
    }
    return child;
  }

  // Import: every key the description gave must have been used by the record.
  void CheckUnknown(const Node& node) {
    if (m_Exporting) return;
    for (const std::string& key : node.given)
      if (node.used.count(key) == 0) Fail(node, key, "unknown field");
  }

 private:
  float JsonToFloat(const Node& node, const std::string& key, const OrderedJson& v, double factor) {
    if (v.is_number()) {
      const double d = v.get<double>();
      const float f = static_cast<float>(d / factor);
      if (std::isinf(f) && std::isfinite(d)) Fail(node, key, "out of the range of a float");
      return f;
    }
    if (v.is_string()) {
      const std::string s = v.get<std::string>();
      if (s == "NaN") return std::nanf("");
      if (s == "Infinity") return INFINITY;
      if (s == "-Infinity") return -INFINITY;
      unsigned bits = 0;
      char extra = 0;
      if (std::sscanf(s.c_str(), "NaN:0x%8X%c", &bits, &extra) == 1) {
        float f;
        std::memcpy(&f, &bits, 4);
        if (std::isnan(f)) return f;
      }
    }
    Fail(node, key, "expected a number");
  }

  int32_t JsonToInt32(const Node& node, const std::string& key, const OrderedJson& v) {
    if (!v.is_number_integer() || v.get<long long>() < INT32_MIN ||
        (v.is_number_unsigned() ? v.get<unsigned long long>() > INT32_MAX
                                : v.get<long long>() > INT32_MAX))
      Fail(node, key, "expected an integer from -2147483648 to 2147483647");
    return static_cast<int32_t>(v.get<long long>());
  }

  bool m_Exporting;
  std::vector<uint8_t> m_Out;
  ByteReader m_Reader;
};

// ---------------------------------------------------------------------------------------------
// The records, in file order.

void ClassRecord(Codec& c, Node& n, unsigned type, unsigned version, unsigned depth);

void PointRecord(Codec& c, Node& n) {
  c.Version(n, "point", 1);
  c.Floats(n, "Center", 2);
}

void FrameRecord(Codec& c, Node& n) {
  const unsigned v = c.Version(n, "frame", 2);
  PointRecord(c, n);
  c.Angle(n, "Angle");
  c.Float(n, "Scale");
  if (v == 1) c.Float(n, "FrameRatio");  // records of version 1 carry a ratio
}

void LineRecord(Codec& c, Node& n, const char* lengthKey, double lengthFactor) {
  c.Version(n, "geometry", 1);
  FrameRecord(c, n);
  c.Float(n, lengthKey, lengthFactor);
}

void CircleRecord(Codec& c, Node& n) {
  c.Version(n, "geometry", 1);
  FrameRecord(c, n);
  c.Angle(n, "Amplitude");
  c.Float(n, "Diameter", 2.0);
}

void RectangleRecord(Codec& c, Node& n) {
  c.Version(n, "geometry", 1);
  FrameRecord(c, n);
  c.Float(n, "SizeX", 2.0);
  c.Float(n, "SizeY", 2.0);
}

void WedgeRecord(Codec& c, Node& n) {
  c.Version(n, "geometry", 1);
  FrameRecord(c, n);
  c.Angle(n, "Amplitude");
  c.Float(n, "CoRadius");
  c.Float(n, "Radius");
}

// The name: a string when its bytes are UTF-8 without a zero byte, else "NameBytes" in hex.
void NameField(Codec& c, Node& n) {
  std::string name;
  uint32_t length = 0;
  if (c.Exporting()) {
    c.Bytes(&length, 4, n, "Name");
    if (length > c.Reader().Remaining())
      c.Fail(n, "Name", "truncated: a name of " + std::to_string(length) + " bytes");
    name.resize(length);
    if (length > 0) c.Bytes(&name[0], length, n, "Name");
    bool plain = name.find('\0') == std::string::npos;
    if (plain) {
      try {
        (void)OrderedJson(name).dump();
      } catch (const nlohmann::json::exception&) {
        plain = false;
      }
    }
    if (plain) {
      n.json["Name"] = name;
    } else {
      std::string hex;
      char byte[3];
      for (unsigned char ch : name) {
        std::snprintf(byte, sizeof byte, "%02x", ch);
        hex += byte;
      }
      n.json["NameBytes"] = hex;
    }
    return;
  }
  const OrderedJson* text = c.Get(n, "Name");
  const OrderedJson* hex = c.Get(n, "NameBytes");
  if (hex != nullptr && n.given.count("NameBytes")) {
    if (!hex->is_string() || hex->get<std::string>().size() % 2 != 0)
      c.Fail(n, "NameBytes", "expected an even number of hex digits");
    const std::string digits = hex->get<std::string>();
    for (size_t i = 0; i < digits.size(); i += 2) {
      unsigned value = 0;
      if (!std::isxdigit(static_cast<unsigned char>(digits[i])) ||
          !std::isxdigit(static_cast<unsigned char>(digits[i + 1])) ||
          std::sscanf(digits.c_str() + i, "%2x", &value) != 1)
        c.Fail(n, "NameBytes", "expected hex digits");
      name.push_back(static_cast<char>(value));
    }
  } else if (text != nullptr) {
    if (!text->is_string()) c.Fail(n, "Name", "expected a string");
    name = text->get<std::string>();
  }
  length = static_cast<uint32_t>(name.size());
  c.Bytes(&length, 4, n, "Name");
  if (length > 0) c.Bytes(&name[0], length, n, "Name");
}

// The daughter slots: an array of shape objects, null for an empty slot of an indexed table.
void Daughters(Codec& c, Node& n, unsigned version, unsigned depth) {
  // Files of versions 1 and 2 store a type as its bit number.
  auto storedType = [version](unsigned type) -> uint32_t {
    if (version >= 3) return type;
    uint32_t bit = 0;
    while (bit < 31 && (type >> bit) != 1u) ++bit;
    return bit;
  };
  if (c.Exporting()) {
    uint32_t slots = 0;
    c.Bytes(&slots, 4, n, "Daughters");
    // Each slot takes 4 bytes at least: a count beyond the file is refused before anything
    // grows with it.
    if (slots > c.Reader().Remaining() / 4)
      c.Fail(n, "Daughters", "truncated: " + std::to_string(slots) + " daughter slots");
    OrderedJson array = OrderedJson::array();
    for (uint32_t i = 0; i < slots; ++i) {
      Node child;
      child.path = n.path + ".Daughters[" + std::to_string(i) + "]";
      uint32_t stored = 0;
      c.Bytes(&stored, 4, child, "class");
      unsigned type = version >= 3 ? stored : (stored < 32 ? 1u << stored : 0u);
      if (type == kEmptySlot) {
        array.push_back(nullptr);
        continue;
      }
      ClassRecord(c, child, type, version, depth + 1);
      array.push_back(child.json);
    }
    n.json["Daughters"] = array;
    return;
  }
  const OrderedJson* value = c.Get(n, "Daughters");
  static const OrderedJson kNone = OrderedJson::array();
  if (value == nullptr) value = &kNone;
  if (!value->is_array()) c.Fail(n, "Daughters", "expected an array");
  uint32_t slots = static_cast<uint32_t>(value->size());
  c.Bytes(&slots, 4, n, "Daughters");
  for (uint32_t i = 0; i < slots; ++i) {
    const OrderedJson& item = (*value)[i];
    const std::string key = "Daughters[" + std::to_string(i) + "]";
    if (item.is_null()) {
      uint32_t stored = storedType(kEmptySlot);
      c.Bytes(&stored, 4, n, key);
      continue;
    }
    Node child = c.Child(n, key, &item);
    const OrderedJson* className = c.Get(child, "class");
    if (className == nullptr || !className->is_string()) c.Fail(child, "class", "missing");
    const ClassInfo* info = ClassByName(className->get<std::string>());
    if (info == nullptr || info->type == INS_SHAPE_TYPE_WORLD_SHAPE)
      c.Fail(child, "class",
             "unknown class \"" + className->get<std::string>() + "\"" +
                 (info != nullptr ? " (a world shape is only a root)" : ""));
    uint32_t stored = storedType(info->type);
    c.Bytes(&stored, 4, child, "class");
    ClassRecord(c, child, info->type, version, depth + 1);
  }
}

void ShapeRecord(Codec& c, Node& n, unsigned version, unsigned depth) {
  c.Version(n, "shape", 1);
  c.Enum(n, "DraggingMode", kDraggingModes);
  NameField(c, n);
  c.Flags(n, "Flags", kBehaviorFlags);
  Daughters(c, n, version, depth);
}

void TransitionRecord(Codec& c, Node& parent, const std::string& key, const OrderedJson* value,
                      unsigned version, OrderedJson* exported) {
  Node n = c.Child(parent, key, value);
  if (version > 3) {
    // Version 3 adds the sampling mode and is written for interpolated sampling only, so a
    // description that asks for it gets that version.
    unsigned usual = 2;
    if (!c.Exporting() && n.given.count("SamplingMode")) {
      const OrderedJson* mode = c.Get(n, "SamplingMode");
      if (*mode != "GGE_SAMPLING_PIXEL_WALK" && *mode != 0) usual = 3;
    }
    const unsigned v = c.Version(n, "transition", usual, 1, 3);
    if (v >= 2) {
      c.Signed(n, "RectangularSamplingArea");
      c.Signed(n, "KeepFirstAndLastIncompletePeak");
    }
    if (v >= 3) c.Enum(n, "SamplingMode", kSamplingModes);
  }
  // The tolerance segment is stored twice; the second copy is the one the library keeps. A
  // first copy that differs is kept as "FirstToleranceSegment".
  const size_t firstStart = c.Reader().Position();
  Node first = c.Child(
      n, "ToleranceSegment", c.Exporting() ? nullptr : [&]() -> const OrderedJson* {
        const OrderedJson* f = c.Get(n, "FirstToleranceSegment");
        return f != nullptr && n.given.count("FirstToleranceSegment")
                   ? f
                   : c.Get(n, "ToleranceSegment");
      }());
  LineRecord(c, first, "Tolerance", 1.0);
  c.CheckUnknown(first);
  const size_t firstEnd = c.Reader().Position();
  c.Enum(n, "TransitionChoice", kTransitionChoices);
  c.Enum(n, "TransitionType", kTransitionTypes);
  const size_t secondStart = c.Reader().Position();
  Node second =
      c.Child(n, "ToleranceSegment", c.Exporting() ? nullptr : c.Get(n, "ToleranceSegment"));
  LineRecord(c, second, "Tolerance", 1.0);
  c.CheckUnknown(second);
  if (c.Exporting()) {
    n.json["ToleranceSegment"] = second.json;
    const size_t size = firstEnd - firstStart;
    if (c.Reader().Position() - secondStart != size ||
        std::memcmp(c.Reader().At(firstStart), c.Reader().At(secondStart), size) != 0)
      n.json["FirstToleranceSegment"] = first.json;
  }
  c.Unsigned(n, "MinAmplitude");
  c.Unsigned(n, "MinArea");
  c.Unsigned(n, "Smoothing");
  c.Unsigned(n, "Thickness");
  c.Unsigned(n, "Threshold");
  c.Unsigned(n, "TransitionIndex");
  c.Signed(n, "HVConstraint");
  c.CheckUnknown(n);
  if (c.Exporting()) *exported = n.json;
}

// The operation data of the fitting gauges: fit sample minimums, clipping and skip ranges.
void OperationData(Codec& c, Node& n, bool present) {
  if (!present) return;
  const unsigned v = c.Version(n, "operation", 2, 4);
  if (v >= 2) {
    for (int i = 0; i < 4; ++i) {
      // Four signed words under one array key.
      if (i == 0 && !c.Exporting()) {
        const OrderedJson* a = c.Get(n, "MinNumFitSamples");
        if (a == nullptr || !a->is_array() || a->size() != 4)
          c.Fail(n, "MinNumFitSamples", "expected an array of 4 integers");
      }
      int32_t value = 0;
      if (!c.Exporting()) {
        const OrderedJson& item = n.json["MinNumFitSamples"][i];
        if (!item.is_number_integer() || item.get<long long>() < INT32_MIN ||
            item.get<long long>() > INT32_MAX)
          c.Fail(n, "MinNumFitSamples", "expected an array of 4 integers");
        value = static_cast<int32_t>(item.get<long long>());
      }
      c.Bytes(&value, 4, n, "MinNumFitSamples");
      if (c.Exporting()) n.json["MinNumFitSamples"].push_back(value);
    }
    c.Enum(n, "ClippingMode", kClippingModes);
  }
  if (v < 1) return;
  uint32_t count = 0;
  if (c.Exporting()) {
    c.Bytes(&count, 4, n, "SkipRanges");
    if (count > c.Reader().Remaining() / 8)
      c.Fail(n, "SkipRanges", "truncated: " + std::to_string(count) + " skip ranges");
    OrderedJson ranges = OrderedJson::array();
    for (uint32_t r = 0; r < count; ++r) {
      uint32_t range[2];
      c.Bytes(range, 8, n, "SkipRanges");
      ranges.push_back({range[0], range[1]});
    }
    n.json["SkipRanges"] = ranges;
    return;
  }
  const OrderedJson* ranges = c.Get(n, "SkipRanges");
  static const OrderedJson kNone = OrderedJson::array();
  if (ranges == nullptr) ranges = &kNone;
  if (!ranges->is_array()) c.Fail(n, "SkipRanges", "expected an array of [start, end] pairs");
  count = static_cast<uint32_t>(ranges->size());
  c.Bytes(&count, 4, n, "SkipRanges");
  for (const OrderedJson& pair : *ranges) {
    if (!pair.is_array() || pair.size() != 2 || !pair[0].is_number_unsigned() ||
        !pair[1].is_number_unsigned() || pair[0].get<unsigned long long>() > 0xFFFFFFFFull ||
        pair[1].get<unsigned long long>() > 0xFFFFFFFFull)
      c.Fail(n, "SkipRanges", "expected an array of [start, end] pairs of unsigned integers");
    uint32_t range[2] = {pair[0].get<uint32_t>(), pair[1].get<uint32_t>()};
    c.Bytes(range, 8, n, "SkipRanges");
  }
}

void FilteringAndStep(Codec& c, Node& n) {
  c.Float(n, "FilteringThreshold");
  c.Float(n, "SamplingStep");
  c.Unsigned(n, "NumFilteringPasses");
}

// The gauge's version byte, present in files above version 3 only.
unsigned GaugeVersion(Codec& c, Node& n, unsigned version, unsigned current) {
  return version > 3 ? c.Version(n, "gauge", current) : current;
}

void WorldRecord(Codec& c, Node& n, unsigned version) {
  const unsigned v = c.Version(n, "world", 2);
  FrameRecord(c, n);
  c.Flags(n, "CalibrationModes", kCalibrationModes);
  c.Float(n, "DistortionStrength");
  c.Angle(n, "TiltXAngle");
  c.Angle(n, "TiltYAngle");
  c.Float(n, "PerspectiveStrength");
  c.Signed(n, "SensorWidth");
  c.Signed(n, "SensorHeight");
  if (v >= 2) c.Float(n, "Ratio");
  c.Floats(n, "OpticalCenter", 2);
  (void)version;
}

void ClassRecord(Codec& c, Node& n, unsigned type, unsigned version, unsigned depth) {
  if (depth > kMaxDepth) c.Fail(n, "", "daughters nested deeper than " + std::to_string(kMaxDepth));
  const ClassInfo* info = ClassByType(type);
  if (info == nullptr) c.Fail(n, "class", "unknown shape type " + std::to_string(type));
  if (c.Exporting()) n.json["class"] = info->name;
  auto edgeTransitions = [&](unsigned gaugeVersion) {
    OperationData(c, n, version >= 4 && gaugeVersion >= 2);
    return gaugeVersion;
  };
  switch (type) {
    case INS_SHAPE_TYPE_POINT_SHAPE:
      c.Version(n, "class", 1);
      FrameRecord(c, n);
      ShapeRecord(c, n, version, depth);
      break;
    case INS_SHAPE_TYPE_LINE_SHAPE:
      c.Version(n, "class", 1);
      LineRecord(c, n, "Length", 2.0);
      ShapeRecord(c, n, version, depth);
      break;
    case INS_SHAPE_TYPE_CIRCLE_SHAPE:
      c.Version(n, "class", 1);
      CircleRecord(c, n);
      ShapeRecord(c, n, version, depth);
      break;
    case INS_SHAPE_TYPE_RECTANGLE_SHAPE:
      c.Version(n, "class", 1);
      RectangleRecord(c, n);
      ShapeRecord(c, n, version, depth);
      c.Unsigned(n, "NumRows");
      break;
    case INS_SHAPE_TYPE_WEDGE_SHAPE:
      c.Version(n, "class", 1);
      WedgeRecord(c, n);
      ShapeRecord(c, n, version, depth);
      c.Unsigned(n, "NumRows");
      break;
    case INS_SHAPE_TYPE_FRAME_SHAPE:
      c.Version(n, "class", 1);
      FrameRecord(c, n);
      ShapeRecord(c, n, version, depth);
      c.Float(n, "SizeX");
      c.Float(n, "SizeY");
      break;
    case INS_SHAPE_TYPE_WORLD_SHAPE: {
      const unsigned v = c.Version(n, "class", 2);
      WorldRecord(c, n, version);
      if (version > 1) ShapeRecord(c, n, version, depth);
      if (v >= 2) {
        c.Floats(n, "Zoom", 2);
        c.Floats(n, "Pan", 2);
      }
      break;
    }
    case INS_SHAPE_TYPE_POINT_GAUGE:
      GaugeVersion(c, n, version, 1);
      c.Version(n, "class", 1);
      FrameRecord(c, n);
      ShapeRecord(c, n, version, depth);
      TransitionRecord(c, n, "Transition", c.Exporting() ? nullptr : c.Get(n, "Transition"),
                       version, c.Exporting() ? &n.json["Transition"] : nullptr);
      break;
    case INS_SHAPE_TYPE_LINE_GAUGE: {
      const unsigned g = GaugeVersion(c, n, version, 2);
      OperationData(c, n, version > 3 && g >= 2);
      c.Version(n, "class", 1);
      LineRecord(c, n, "Length", 2.0);
      ShapeRecord(c, n, version, depth);
      TransitionRecord(c, n, "Transition", c.Exporting() ? nullptr : c.Get(n, "Transition"),
                       version, c.Exporting() ? &n.json["Transition"] : nullptr);
      FilteringAndStep(c, n);
      break;
    }
    case INS_SHAPE_TYPE_CIRCLE_GAUGE: {
      const unsigned g = GaugeVersion(c, n, version, 3);
      OperationData(c, n, version > 3 && g >= 2);
      c.Version(n, "class", 1);
      CircleRecord(c, n);
      ShapeRecord(c, n, version, depth);
      TransitionRecord(c, n, "Transition", c.Exporting() ? nullptr : c.Get(n, "Transition"),
                       version, c.Exporting() ? &n.json["Transition"] : nullptr);
      FilteringAndStep(c, n);
      if (version >= 4 && g >= 3) {
        c.Float(n, "InnerFilteringThreshold");
        c.Enum(n, "FittingMode", kFittingModes);
      }
      break;
    }
    case INS_SHAPE_TYPE_RECTANGLE_GAUGE:
    case INS_SHAPE_TYPE_WEDGE_GAUGE: {
      edgeTransitions(GaugeVersion(c, n, version, 2));
      const bool rectangle = type == INS_SHAPE_TYPE_RECTANGLE_GAUGE;
      c.Version(n, "class", 1);
      if (rectangle)
        RectangleRecord(c, n);
      else
        WedgeRecord(c, n);
      ShapeRecord(c, n, version, depth);
      c.Unsigned(n, "NumRows");
      // Four transitions in edge processing order.
      const OrderedJson* given = c.Exporting() ? nullptr : c.Get(n, "Transitions");
      if (!c.Exporting() && (given == nullptr || !given->is_array() || given->size() != 4))
        c.Fail(n, "Transitions", "expected an array of 4 transitions");
      OrderedJson transitions = OrderedJson::array();
      for (unsigned e = 0; e < 4; ++e) {
        OrderedJson exported;
        TransitionRecord(c, n, "Transitions[" + std::to_string(e) + "]",
                         given != nullptr ? &(*given)[e] : nullptr, version, &exported);
        if (c.Exporting()) transitions.push_back(exported);
      }
      if (c.Exporting()) n.json["Transitions"] = transitions;
      FilteringAndStep(c, n);
      if (version > 3) c.Unsigned(n, "ActiveEdges");
      if (rectangle && version >= 5) c.Float(n, "InnerFilteringThreshold");
      break;
    }
    case INS_SHAPE_TYPE_BGA_BALL: {
      const unsigned v = c.Version(n, "bga", 2);
      c.Version(n, "class", 1);
      CircleRecord(c, n);
      ShapeRecord(c, n, version, depth);
      c.Unsigned(n, "Diagnostics");
      if (v >= 2) c.Float(n, "DiameterCorrection");
      break;
    }
    case INS_SHAPE_TYPE_BGA_ARRAY: {
      const unsigned v = c.Version(n, "bga", 2);
      c.Version(n, "class", 1);
      RectangleRecord(c, n);
      ShapeRecord(c, n, version, depth);
      c.Unsigned(n, "NumRows");
      c.Signed(n, "Staggered");
      if (v >= 2) {
        c.Signed(n, "InverseRowNumbering");
        c.Signed(n, "InverseColNumbering");
      }
      break;
    }
    case INS_SHAPE_TYPE_BGA_COMPONENT:
      c.Version(n, "bga", 1);
      c.Version(n, "class", 1);
      RectangleRecord(c, n);
      ShapeRecord(c, n, version, depth);
      c.Unsigned(n, "NumRows");
      break;
    default: c.Fail(n, "class", "unknown shape type " + std::to_string(type));
  }
  if (!c.Exporting()) {
    n.used.insert("class");
    c.CheckUnknown(n);
  }
}

// Export order: class and name first, daughters last, the rest in file order.
OrderedJson Tidy(const OrderedJson& shape) {
  OrderedJson out = OrderedJson::object();
  for (const char* key : {"class", "Name", "NameBytes"})
    if (shape.contains(key)) out[key] = shape[key];
  for (auto it = shape.begin(); it != shape.end(); ++it)
    if (!out.contains(it.key()) && it.key() != "Daughters") out[it.key()] = it.value();
  OrderedJson daughters = OrderedJson::array();
  for (const OrderedJson& d : shape["Daughters"]) daughters.push_back(d.is_null() ? d : Tidy(d));
  out["Daughters"] = daughters;
  return out;
}

// The description of a newly constructed shape of a class, in that class's file version: what
// an import puts in the fields a description leaves out.
const OrderedJson& Defaults(const ClassInfo& info) {
  static std::map<unsigned, OrderedJson> cache;
  auto it = cache.find(info.type);
  if (it != cache.end()) return it->second;
  std::unique_ptr<EShape> shape = NewShapeOfType(info.type);
  std::vector<uint8_t> bytes;
  FILE* file = std::tmpfile();
  if (file == nullptr || !shape)
    throw ToolsFormatError("cannot build the defaults of " + std::string(info.name));
  {
    EFilePointerSerializer serializer(file, 1);
    shape->Save(&serializer, 0);
  }
  long size = std::ftell(file);
  std::rewind(file);
  bytes.resize(size > 0 ? size_t(size) : 0);
  size_t got = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  if (got != bytes.size())
    throw ToolsFormatError("cannot build the defaults of " + std::string(info.name));
  OrderedJson root = ShapeFileToJson(bytes)["root"];
  root.erase("Daughters");
  root.erase("Name");
  return cache[info.type] = root;
}

// Fills the fields a description leaves out from the defaults, objects member by member and
// the transitions of the edge gauges element by element.
void MergeDefaults(OrderedJson& shape, const OrderedJson& defaults) {
  for (auto it = defaults.begin(); it != defaults.end(); ++it) {
    auto found = shape.find(it.key());
    if (found == shape.end()) {
      shape[it.key()] = it.value();
    } else if (found->is_object() && it->is_object() && it.key() != "RecordVersions") {
      MergeDefaults(*found, *it);
    } else if (it.key() == "Transitions" && found->is_array() && found->size() == it->size()) {
      for (size_t e = 0; e < it->size(); ++e)
        if ((*found)[e].is_object()) MergeDefaults((*found)[e], (*it)[e]);
    }
  }
}

// Notes the keys an object holds, and those of the objects inside it (transitions, segments).
void MarkGiven(OrderedJson& object) {
  OrderedJson keys = OrderedJson::array();
  for (auto it = object.begin(); it != object.end(); ++it) {
    keys.push_back(it.key());
    if (it.key() == "Daughters" || it.key() == "RecordVersions") continue;
    if (it->is_object()) MarkGiven(*it);
    if (it->is_array())
      for (OrderedJson& item : *it)
        if (item.is_object()) MarkGiven(item);
  }
  object[kGivenKey] = keys;
}

// Completes every shape of a description with its class's defaults, remembering the keys the
// description gave (so that only those can be reported as unknown).
void Complete(OrderedJson& shape, const std::string& path) {
  if (!shape.is_object()) throw ToolsFormatError(path + ": expected an object");
  auto className = shape.find("class");
  if (className == shape.end() || !className->is_string())
    throw ToolsFormatError(path + ".class: missing");
  const ClassInfo* info = ClassByName(className->get<std::string>());
  if (info == nullptr)
    throw ToolsFormatError(path + ".class: unknown class \"" + className->get<std::string>() +
                           "\"");
  MarkGiven(shape);
  auto daughters = shape.find("Daughters");
  if (daughters != shape.end() && daughters->is_array())
    for (size_t i = 0; i < daughters->size(); ++i)
      if (!(*daughters)[i].is_null())
        Complete((*daughters)[i], path + ".Daughters[" + std::to_string(i) + "]");
  MergeDefaults(shape, Defaults(*info));
}

}  // namespace

OrderedJson ShapeFileToJson(const std::vector<uint8_t>& file) {
  Codec codec(file);
  Node header;
  header.path = "header";
  uint8_t signature[4];
  codec.Bytes(signature, 4, header, "signature");
  if (signature[0] != 0x45 || signature[3] != (signature[0] ^ signature[1] ^ signature[2]))
    throw ToolsFormatError("not a shape file (bad signature)");
  const ClassInfo* info = ClassByCode(signature[1]);
  if (info == nullptr)
    throw ToolsFormatError("shape file of an unknown class (code " + std::to_string(signature[1]) +
                           ")");
  const unsigned version = signature[2];
  if (version > info->version)
    throw ToolsFormatError("file version " + std::to_string(version) + " is newer than " +
                           info->name + " reads");
  uint32_t stored = 0;
  codec.Bytes(&stored, 4, header, "type");
  unsigned type = version >= 3 ? stored : (stored < 32 ? 1u << stored : 0u);
  if (type != info->type)
    throw ToolsFormatError("the stored type " + std::to_string(stored) +
                           " does not match the class " + info->name);
  Node root;
  root.path = "root";
  ClassRecord(codec, root, type, version, 0);
  if (codec.Reader().Remaining() != 0)
    throw ToolsFormatError(std::to_string(codec.Reader().Remaining()) +
                           " bytes after the end of the tree");
  OrderedJson out = OrderedJson::object();
  out["version"] = version;
  out["root"] = Tidy(root.json);
  return out;
}

std::vector<uint8_t> JsonToShapeFile(const OrderedJson& input) {
  OrderedJson description = input;
  if (!description.is_object()) throw ToolsFormatError("expected a JSON object with \"root\"");
  for (auto it = description.begin(); it != description.end(); ++it)
    if (it.key() != "version" && it.key() != "root")
      throw ToolsFormatError(it.key() + ": unknown field");
  if (!description.contains("root")) throw ToolsFormatError("root: missing");
  OrderedJson& rootJson = description["root"];
  Complete(rootJson, "root");
  const ClassInfo* info = ClassByName(rootJson["class"].get<std::string>());
  unsigned version = info->version;
  if (description.contains("version")) {
    const OrderedJson& v = description["version"];
    if (!v.is_number_unsigned() || v.get<unsigned long long>() < 1 ||
        v.get<unsigned long long>() > info->version)
      throw ToolsFormatError("version: expected an integer from 1 to " +
                             std::to_string(info->version));
    version = v.get<unsigned>();
  }
  Codec codec;
  Node header;
  header.path = "header";
  uint8_t signature[4] = {0x45, info->code, static_cast<uint8_t>(version), 0};
  signature[3] = signature[0] ^ signature[1] ^ signature[2];
  codec.Bytes(signature, 4, header, "signature");
  uint32_t type = info->type;
  if (version < 3) {
    uint32_t bit = 0;
    while ((type >> bit) != 1u) ++bit;
    type = bit;
  }
  codec.Bytes(&type, 4, header, "type");
  Node root = codec.Child(header, "root", &rootJson);
  root.path = "root";
  ClassRecord(codec, root, info->type, version, 0);
  return codec.Out();
}

}  // namespace vimo_cli
