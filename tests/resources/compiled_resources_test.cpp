// Reads the compiled resource file (windres -O res) of the installer and checks
// what the program and the shell take from it: both dialog templates byte for
// byte, the message table as LoadStringA returns it under code page 936, the
// icons, bitmaps, manifest and version block.

#include "win/expected_messages.h"
#include <gtest/gtest.h>

#include <iconv.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#ifndef ZERKA_COMPILED_RES
#error "ZERKA_COMPILED_RES must name the compiled installer.res"
#endif

namespace {

using Bytes = std::vector<uint8_t>;

// ------------------------------------------------------------------ .res reading

uint16_t u16(const Bytes& b, size_t at) {
  if (at + 2 > b.size()) throw std::out_of_range("read past end");
  return uint16_t(b[at] | b[at + 1] << 8);
}

uint32_t u32(const Bytes& b, size_t at) { return u16(b, at) | uint32_t(u16(b, at + 2)) << 16; }

int32_t i32(const Bytes& b, size_t at) { return int32_t(u32(b, at)); }

// A resource type, name, window class or title: an ordinal or a UTF-16 string.
struct NameOrId {
  bool is_id = false;
  uint16_t id = 0;
  std::u16string text;
};

NameOrId read_name_or_id(const Bytes& b, size_t& at) {
  NameOrId r;
  if (u16(b, at) == 0xFFFF) {
    r.is_id = true;
    r.id = u16(b, at + 2);
    at += 4;
    return r;
  }
  for (;;) {
    uint16_t c = u16(b, at);
    at += 2;
    if (c == 0) break;
    r.text.push_back(char16_t(c));
  }
  return r;
}

std::u16string read_sz(const Bytes& b, size_t& at) {
  std::u16string s;
  for (;;) {
    uint16_t c = u16(b, at);
    at += 2;
    if (c == 0) return s;
    s.push_back(char16_t(c));
  }
}

size_t align4(size_t v) { return (v + 3) & ~size_t(3); }

struct Resource {
  NameOrId type;
  NameOrId name;
  uint16_t language = 0;
  Bytes data;
};

std::vector<Resource> read_res_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<Resource> out;
  size_t at = 0;
  while (at + 8 <= file.size()) {
    uint32_t data_size = u32(file, at);
    uint32_t header_size = u32(file, at + 4);
    size_t p = at + 8;
    Resource r;
    r.type = read_name_or_id(file, p);
    r.name = read_name_or_id(file, p);
    p = align4(p);
    r.language = u16(file, p + 6);
    size_t data_at = at + header_size;
    if (data_at + data_size > file.size()) throw std::runtime_error("truncated .res");
    r.data.assign(file.begin() + data_at, file.begin() + data_at + data_size);
    // the file starts with an empty entry that only marks the format
    if (!(r.type.is_id && r.type.id == 0 && data_size == 0)) out.push_back(r);
    at = align4(data_at + data_size);
  }
  return out;
}

const std::vector<Resource>& resources() {
  static const std::vector<Resource> all = read_res_file(ZERKA_COMPILED_RES);
  return all;
}

enum : uint16_t {
  RT_CURSOR_ = 1, RT_BITMAP_ = 2, RT_ICON_ = 3, RT_DIALOG_ = 5, RT_STRING_ = 6,
  RT_GROUP_ICON_ = 14, RT_VERSION_ = 16, RT_MANIFEST_ = 24,
};

std::vector<const Resource*> find_all(uint16_t type, uint16_t id) {
  std::vector<const Resource*> hits;
  for (const Resource& r : resources())
    if (r.type.is_id && r.type.id == type && r.name.is_id && r.name.id == id) hits.push_back(&r);
  return hits;
}

// The one resource of this type and id; fails the test when it is missing or doubled.
const Bytes& find_one(uint16_t type, uint16_t id) {
  static const Bytes none;
  auto hits = find_all(type, id);
  EXPECT_EQ(hits.size(), 1u) << "resource type " << type << " id " << id;
  return hits.empty() ? none : hits.front()->data;
}

std::string narrow(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out.push_back(c < 0x80 ? char(c) : '?');
  return out;
}

// ------------------------------------------------------------------ dialog templates

struct DialogItem {
  uint32_t style = 0, ex_style = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  uint32_t id = 0;
  std::string window_class;  // upper case; system classes by name
  std::string text;
};

struct Dialog {
  bool extended = false;
  uint32_t style = 0, ex_style = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  NameOrId menu, window_class;
  std::string caption;
  uint16_t point_size = 0, weight = 0;
  uint8_t italic = 0, charset = 0;
  std::string typeface;
  std::vector<DialogItem> items;
};

std::string class_name(const NameOrId& c) {
  if (c.is_id) {
    switch (c.id) {
      case 0x80: return "BUTTON";
      case 0x81: return "EDIT";
      case 0x82: return "STATIC";
      case 0x83: return "LISTBOX";
      case 0x84: return "SCROLLBAR";
      case 0x85: return "COMBOBOX";
      default: return "#" + std::to_string(c.id);
    }
  }
  std::string s = narrow(c.text);
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char ch) { return char(std::toupper(ch)); });
  return s;
}

// Reads DLGTEMPLATE as well as DLGTEMPLATEEX, so the checks below are about what
// the dialog manager sees, not which of the two statements wrote it.
Dialog parse_dialog(const Bytes& b) {
  Dialog d;
  size_t at = 0;
  d.extended = u16(b, 0) == 1 && u16(b, 2) == 0xFFFF;
  uint16_t count;
  if (d.extended) {
    d.ex_style = u32(b, 8);
    d.style = u32(b, 12);
    count = u16(b, 16);
    at = 18;
  } else {
    d.style = u32(b, 0);
    d.ex_style = u32(b, 4);
    count = u16(b, 8);
    at = 10;
  }
  d.x = int16_t(u16(b, at));
  d.y = int16_t(u16(b, at + 2));
  d.cx = int16_t(u16(b, at + 4));
  d.cy = int16_t(u16(b, at + 6));
  at += 8;
  d.menu = read_name_or_id(b, at);
  d.window_class = read_name_or_id(b, at);
  d.caption = narrow(read_sz(b, at));
  if (d.style & 0x40) {  // DS_SETFONT
    d.point_size = u16(b, at);
    at += 2;
    if (d.extended) {
      d.weight = u16(b, at);
      d.italic = b.at(at + 2);
      d.charset = b.at(at + 3);
      at += 4;
    }
    d.typeface = narrow(read_sz(b, at));
  }
  for (uint16_t i = 0; i < count; ++i) {
    at = align4(at);
    DialogItem item;
    if (d.extended) {
      item.ex_style = u32(b, at + 4);
      item.style = u32(b, at + 8);
      at += 12;
    } else {
      item.style = u32(b, at);
      item.ex_style = u32(b, at + 4);
      at += 8;
    }
    item.x = int16_t(u16(b, at));
    item.y = int16_t(u16(b, at + 2));
    item.cx = int16_t(u16(b, at + 4));
    item.cy = int16_t(u16(b, at + 6));
    at += 8;
    if (d.extended) {
      item.id = u32(b, at);
      at += 4;
    } else {
      item.id = u16(b, at);
      at += 2;
    }
    item.window_class = class_name(read_name_or_id(b, at));
    NameOrId text = read_name_or_id(b, at);
    item.text = text.is_id ? "#" + std::to_string(text.id) : narrow(text.text);
    uint16_t extra = u16(b, at);
    at += 2 + extra;
    d.items.push_back(item);
  }
  EXPECT_LE(align4(at), align4(b.size())) << "template items run past the resource";
  return d;
}

// Window and control styles, spelled out so the expectations read like the templates.
constexpr uint32_t WS_CHILD_ = 0x40000000, WS_VISIBLE_ = 0x10000000, WS_CAPTION_ = 0x00C00000,
                   WS_VSCROLL_ = 0x00200000, WS_HSCROLL_ = 0x00100000, WS_SYSMENU_ = 0x00080000,
                   WS_THICKFRAME_ = 0x00040000, WS_MINIMIZEBOX_ = 0x00020000,
                   WS_MAXIMIZEBOX_ = 0x00010000, WS_TABSTOP_ = 0x00010000;
constexpr uint32_t DS_3DLOOK_ = 0x4, DS_SETFONT_ = 0x40, DS_CENTER_ = 0x800;
constexpr uint32_t BS_PUSHBUTTON_ = 0, BS_AUTOCHECKBOX_ = 3, BS_GROUPBOX_ = 7, BS_ICON_ = 0x40;
constexpr uint32_t ES_LEFT_ = 0, ES_MULTILINE_ = 4, ES_READONLY_ = 0x800;
constexpr uint32_t CBS_DROPDOWNLIST_ = 3, SS_LEFT_ = 0, SS_BITMAP_ = 0xE, SS_NOTIFY_ = 0x100,
                   SS_CENTERIMAGE_ = 0x200;
constexpr uint32_t WS_EX_CLIENTEDGE_ = 0x200;
constexpr uint32_t CHILD = WS_CHILD_ | WS_VISIBLE_;

void expect_items(const Dialog& d, const std::vector<DialogItem>& expected) {
  ASSERT_EQ(d.items.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const DialogItem& got = d.items[i];
    const DialogItem& want = expected[i];
    SCOPED_TRACE("control " + std::to_string(i) + " (id " + std::to_string(want.id) + ")");
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(got.window_class, want.window_class);
    EXPECT_EQ(got.style, want.style) << std::hex << "got 0x" << got.style << " want 0x" << want.style;
    EXPECT_EQ(got.ex_style, want.ex_style);
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.cx, want.cx);
    EXPECT_EQ(got.cy, want.cy);
    EXPECT_EQ(got.text, want.text);
  }
}

TEST(ResourceDialogs, MainDialogIsLaidOutAsDrawn) {
  Dialog d = parse_dialog(find_one(RT_DIALOG_, 101));
  EXPECT_EQ(d.style, 0x10CA0844u);
  EXPECT_EQ(d.style, WS_VISIBLE_ | WS_CAPTION_ | WS_SYSMENU_ | WS_MINIMIZEBOX_ | DS_CENTER_ |
                         DS_SETFONT_ | DS_3DLOOK_);
  EXPECT_EQ(d.ex_style, 0u);
  EXPECT_EQ(d.x, 6);
  EXPECT_EQ(d.y, 5);
  EXPECT_EQ(d.cx, 300);
  EXPECT_EQ(d.cy, 169);
  EXPECT_TRUE(d.menu.is_id == false && d.menu.text.empty()) << "no menu";
  EXPECT_TRUE(d.window_class.is_id == false && d.window_class.text.empty()) << "system dialog class";
  EXPECT_EQ(d.caption, "zerka USB Installer");
  EXPECT_EQ(d.point_size, 8);
  EXPECT_EQ(d.typeface, "MS Sans Serif");
  if (d.extended) {
    EXPECT_EQ(d.weight, 0);
    EXPECT_EQ(d.italic, 0);
    EXPECT_EQ(d.charset, 1) << "DEFAULT_CHARSET";
  }
  // template order is the tab order; no control is a default push button
  expect_items(d, {
      {CHILD | ES_LEFT_ | WS_TABSTOP_, WS_EX_CLIENTEDGE_, 12, 55, 150, 13, 1004, "EDIT", ""},
      {CHILD | BS_PUSHBUTTON_ | WS_TABSTOP_, 0, 168, 53, 52, 17, 1005, "BUTTON", "&Browse"},
      {CHILD | CBS_DROPDOWNLIST_ | WS_TABSTOP_, 0, 12, 123, 174, 59, 1006, "COMBOBOX", ""},
      {CHILD | BS_AUTOCHECKBOX_ | WS_TABSTOP_, 0, 200, 123, 92, 13, 1008, "BUTTON", "&Format"},
      {CHILD | BS_PUSHBUTTON_ | WS_TABSTOP_, 0, 182, 147, 52, 17, 1010, "BUTTON", "&Exit"},
      {CHILD | BS_PUSHBUTTON_ | WS_TABSTOP_, 0, 244, 147, 52, 17, 1009, "BUTTON", "&Start"},
      {CHILD | BS_GROUPBOX_, 0, 4, 79, 292, 65, 1002, "BUTTON", "Drive"},
      {CHILD | SS_BITMAP_ | SS_NOTIFY_ | SS_CENTERIMAGE_, 0, 226, 11, 64, 59, 1012, "STATIC", ""},
      {CHILD | SS_LEFT_, 0, 10, 92, 280, 30, 1007, "STATIC", "Select which drive will be installed to."},
      {CHILD | BS_GROUPBOX_, 0, 4, 3, 292, 72, 1001, "BUTTON", "ISO Image"},
      {CHILD | SS_LEFT_, 0, 10, 16, 210, 24, 1003, "STATIC", "Find the ISO image to install."},
      {CHILD | BS_PUSHBUTTON_ | BS_ICON_ | WS_TABSTOP_, 0, 4, 147, 18, 17, 102, "BUTTON", "&Exit"},
  });
}

TEST(ResourceDialogs, ProgressDialogIsLaidOutAsDrawn) {
  Dialog d = parse_dialog(find_one(RT_DIALOG_, 1000));
  EXPECT_EQ(d.style, WS_VISIBLE_ | WS_CAPTION_ | WS_SYSMENU_ | WS_THICKFRAME_ | WS_MINIMIZEBOX_ |
                         WS_MAXIMIZEBOX_ | DS_SETFONT_);
  EXPECT_EQ(d.ex_style, 0u);
  EXPECT_EQ(d.x, 6);
  EXPECT_EQ(d.y, 5);
  EXPECT_EQ(d.cx, 357);
  EXPECT_EQ(d.cy, 225);
  EXPECT_TRUE(d.menu.is_id == false && d.menu.text.empty()) << "no menu";
  EXPECT_TRUE(d.window_class.is_id == false && d.window_class.text.empty()) << "system dialog class";
  EXPECT_EQ(d.caption, "Install");
  EXPECT_EQ(d.point_size, 8);
  EXPECT_EQ(d.typeface, "MS Sans Serif");
  expect_items(d, {
      {CHILD | WS_TABSTOP_ | ES_MULTILINE_ | ES_READONLY_ | WS_VSCROLL_ | WS_HSCROLL_,
       WS_EX_CLIENTEDGE_, 4, 3, 332, 170, 1001, "EDIT", ""},
      {CHILD, 0, 6, 192, 264, 19, 1002, "MSCTLS_PROGRESS32", ""},
      {CHILD | BS_PUSHBUTTON_ | WS_TABSTOP_, 0, 284, 192, 52, 17, 1003, "BUTTON", "&Stop"},
  });
}

// ------------------------------------------------------------------ message table

Bytes convert(const char* to, const char* from, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == iconv_t(-1)) {
    ADD_FAILURE() << "iconv cannot convert " << from << " to " << to;
    return {};
  }
  Bytes out(in.size() * 4 + 16);
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  char* dst = reinterpret_cast<char*>(out.data());
  size_t dst_left = out.size();
  size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv_close(cd);
  EXPECT_NE(rc, size_t(-1)) << "text not representable in " << to;
  out.resize(out.size() - dst_left);
  return out;
}

std::string utf16le_bytes(const std::u16string& s) {
  std::string b;
  for (char16_t c : s) {
    b.push_back(char(c & 0xFF));
    b.push_back(char(c >> 8));
  }
  return b;
}

// Strings of the table by id, language by language, as LoadString finds them:
// block n holds ids 16*(n-1) .. 16*(n-1)+15, each a length word and UTF-16 text.
std::map<uint16_t, std::map<int, std::u16string>> string_table() {
  std::map<uint16_t, std::map<int, std::u16string>> by_language;
  for (const Resource& r : resources()) {
    if (!(r.type.is_id && r.type.id == RT_STRING_)) continue;
    EXPECT_TRUE(r.name.is_id);
    size_t at = 0;
    for (int i = 0; i < 16; ++i) {
      uint16_t length = u16(r.data, at);
      at += 2;
      std::u16string s;
      for (uint16_t k = 0; k < length; ++k, at += 2) s.push_back(char16_t(u16(r.data, at)));
      if (length) by_language[r.language][(r.name.id - 1) * 16 + i] = s;
    }
  }
  return by_language;
}

// The texts as the program shows them (UTF-8); the table must give exactly their code page
// 936 bytes. The same table serves the checks of the running program under Wine.


TEST(ResourceMessageTable, HoldsExactlyTheFortyChineseMessages) {
  auto tables = string_table();
  ASSERT_EQ(tables.size(), 1u) << "one language only";
  EXPECT_EQ(tables.begin()->first, 0x0804) << "Chinese (PRC)";
  const auto& table = tables.begin()->second;
  EXPECT_EQ(table.size(), 40u);
  EXPECT_EQ(table.count(0), 0u);
  EXPECT_EQ(table.count(41), 0u);
  for (int id = 1; id <= 40; ++id) {
    SCOPED_TRACE("message " + std::to_string(id));
    auto it = table.find(id);
    ASSERT_NE(it, table.end());
    // what LoadStringA hands the program under code page 936
    Bytes shown = convert("GBK", "UTF-16LE", utf16le_bytes(it->second));
    Bytes expected = convert("GBK", "UTF-8", expected_messages[id]);
    EXPECT_EQ(std::string(shown.begin(), shown.end()), std::string(expected.begin(), expected.end()));
    EXPECT_LT(shown.size(), 1024u) << "fits a message buffer";
  }
}

TEST(ResourceMessageTable, UsesFullWidthPunctuationAndSingleByteControls) {
  auto tables = string_table();
  ASSERT_EQ(tables.count(0x0804), 1u);
  auto gbk = [&](int id) {
    Bytes b = convert("GBK", "UTF-16LE", utf16le_bytes(tables[0x0804][id]));
    return std::string(b.begin(), b.end());
  };
  // these bytes are the ones code page 936 gives; the log and the boxes depend on them
  EXPECT_EQ(gbk(1), "zerka U\xC5\xCC/\xD3\xB2\xC5\xCC\xB0\xB2\xD7\xB0\xB3\xCC\xD0\xF2");
  EXPECT_EQ(gbk(28), "\xC8\xDD\xC1\xBF\xB2\xBB\xD7\xE3\xA3\xAC\xD0\xE8\xD2\xAA%dM\xBF\xD5\xBC\xE4\r\n");
  EXPECT_EQ(gbk(37), "\xB0\xB2\xD7\xB0\xB3\xC9\xB9\xA6\xA3\xA1");
  EXPECT_EQ(gbk(29), "\xB8\xB4\xD6\xC6 %c:\\%s%s ... ");
  EXPECT_EQ(gbk(40).substr(gbk(40).size() - 20),
            "\r\n\r\n\xD7\xF7\xD5\xDF\xA3\xBAzerka \xC9\xE7\xC7\xF8");
  EXPECT_NE(gbk(5).find("\xA3\xA8" "FAT16\xA3\xA9"), std::string::npos) << "full-width brackets";
}

// ------------------------------------------------------------------ icons and bitmaps

struct BitmapHeader {
  int32_t width = 0, height = 0;
  uint16_t planes = 0, bits = 0;
  uint32_t compression = 0, colours_used = 0;
};

BitmapHeader read_bitmap_header(const Bytes& b) {
  BitmapHeader h;
  EXPECT_EQ(u32(b, 0), 40u) << "BITMAPINFOHEADER";
  h.width = i32(b, 4);
  h.height = i32(b, 8);
  h.planes = u16(b, 12);
  h.bits = u16(b, 14);
  h.compression = u32(b, 16);
  h.colours_used = u32(b, 32);
  return h;
}

struct IconImage {
  int size = 0;
  int bits = 0;
  // top-down RGBA, and whether the AND mask lets the pixel through
  std::vector<uint32_t> rgba;
  std::vector<bool> transparent;
};

// Decodes the one image of an icon group, checking the group entry against the image.
IconImage read_icon(uint16_t group_id) {
  IconImage icon;
  const Bytes& group = find_one(RT_GROUP_ICON_, group_id);
  if (group.size() < 6) return icon;
  EXPECT_EQ(u16(group, 0), 0);
  EXPECT_EQ(u16(group, 2), 1) << "icon, not cursor";
  EXPECT_EQ(u16(group, 4), 1) << "one image per icon";
  if (group.size() < 6 + 14) return icon;
  int entry_width = group[6] ? group[6] : 256;
  int entry_height = group[7] ? group[7] : 256;
  uint8_t colour_count = group[8];
  uint16_t planes = u16(group, 10), bit_count = u16(group, 12);
  uint32_t bytes = u32(group, 14);
  uint16_t image_id = u16(group, 18);
  const Bytes& image = find_one(RT_ICON_, image_id);
  if (image.size() < 40) return icon;
  EXPECT_EQ(image.size(), bytes) << "group entry size";
  EXPECT_EQ(planes, 1);
  BitmapHeader h = read_bitmap_header(image);
  EXPECT_EQ(h.width, entry_width);
  EXPECT_EQ(h.height, 2 * entry_height) << "XOR and AND halves";
  EXPECT_EQ(h.bits, bit_count);
  EXPECT_EQ(h.compression, 0u) << "BI_RGB";
  EXPECT_EQ(colour_count, h.bits >= 8 ? 0 : 1 << h.bits);
  icon.size = h.width;
  icon.bits = h.bits;
  const int n = h.width;
  size_t palette_entries = h.bits <= 8 ? (h.colours_used ? h.colours_used : 1u << h.bits) : 0;
  size_t palette_at = 40;
  size_t xor_at = palette_at + 4 * palette_entries;
  size_t xor_stride = ((size_t(n) * h.bits + 31) / 32) * 4;
  size_t and_at = xor_at + xor_stride * n;
  size_t and_stride = ((size_t(n) + 31) / 32) * 4;
  EXPECT_EQ(image.size(), and_at + and_stride * n) << "header, palette, XOR and AND masks";
  if (image.size() < and_at + and_stride * n) return icon;
  icon.rgba.resize(size_t(n) * n);
  icon.transparent.resize(size_t(n) * n);
  for (int y = 0; y < n; ++y) {
    size_t row = size_t(n - 1 - y);  // bottom-up
    for (int x = 0; x < n; ++x) {
      uint32_t px;
      if (h.bits == 32) {
        const uint8_t* p = &image[xor_at + row * xor_stride + 4 * x];
        px = uint32_t(p[2]) | p[1] << 8 | p[0] << 16 | uint32_t(p[3]) << 24;
      } else {
        EXPECT_EQ(h.bits, 8);
        uint8_t index = image[xor_at + row * xor_stride + x];
        EXPECT_LT(index, palette_entries);
        const uint8_t* p = &image[palette_at + 4 * index];
        px = uint32_t(p[2]) | p[1] << 8 | p[0] << 16 | 0xFFu << 24;
      }
      icon.rgba[y * n + x] = px;
      icon.transparent[y * n + x] = image[and_at + row * and_stride + x / 8] & (0x80 >> (x % 8));
    }
  }
  return icon;
}

int alpha(uint32_t px) { return px >> 24; }
int red(uint32_t px) { return px & 0xFF; }
int green(uint32_t px) { return (px >> 8) & 0xFF; }
int blue(uint32_t px) { return (px >> 16) & 0xFF; }

void expect_alpha_icon(const IconImage& icon, int size) {
  ASSERT_EQ(icon.size, size);
  EXPECT_EQ(icon.bits, 32);
  int clear = 0, solid = 0, soft = 0;
  for (size_t i = 0; i < icon.rgba.size(); ++i) {
    int a = alpha(icon.rgba[i]);
    clear += a == 0;
    solid += a == 255;
    soft += a > 0 && a < 255;
    // older systems draw through the mask: it must agree with the alpha channel
    EXPECT_EQ(icon.transparent[i], a == 0) << "pixel " << i;
  }
  EXPECT_GT(clear, 0) << "a round emblem leaves the corners clear";
  EXPECT_GT(solid, size * size / 2) << "mostly opaque";
  EXPECT_GT(soft, 0) << "anti-aliased edge";
  EXPECT_EQ(alpha(icon.rgba[0]), 0);
  EXPECT_EQ(alpha(icon.rgba[size / 2 * size + size / 2]), 255);
}

TEST(ResourceArtwork, ProgramIconsAreTheEmblemWithAlpha) {
  IconImage large = read_icon(101);
  IconImage small = read_icon(102);
  expect_alpha_icon(large, 48);
  expect_alpha_icon(small, 16);
  if (large.size != 48 || small.size != 16) return;
  // the same emblem: the large one scaled down by 3 looks like the small one
  long difference = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      long sum[4] = {0, 0, 0, 0};
      for (int dy = 0; dy < 3; ++dy)
        for (int dx = 0; dx < 3; ++dx) {
          uint32_t px = large.rgba[(3 * y + dy) * 48 + 3 * x + dx];
          sum[0] += red(px) * alpha(px) / 255;
          sum[1] += green(px) * alpha(px) / 255;
          sum[2] += blue(px) * alpha(px) / 255;
          sum[3] += alpha(px);
        }
      uint32_t px = small.rgba[y * 16 + x];
      difference += std::abs(sum[0] / 9 - red(px) * alpha(px) / 255) +
                    std::abs(sum[1] / 9 - green(px) * alpha(px) / 255) +
                    std::abs(sum[2] / 9 - blue(px) * alpha(px) / 255) +
                    std::abs(sum[3] / 9 - alpha(px));
    }
  EXPECT_LT(difference / (16 * 16 * 4), 24) << "mean difference per channel";
}

TEST(ResourceArtwork, HelpIconIsAPalettedQuestionMarkWithMask) {
  IconImage help = read_icon(104);
  ASSERT_EQ(help.size, 20);
  EXPECT_EQ(help.bits, 8) << "256 colours";
  int see_through = 0, light = 0, dark = 0;
  for (size_t i = 0; i < help.rgba.size(); ++i) {
    uint32_t px = help.rgba[i] & 0xFFFFFF;
    if (help.transparent[i]) {
      ++see_through;
      // XOR over a set mask bit must be black, or the background gets inverted
      EXPECT_EQ(px, 0u) << "pixel " << i;
    } else if (red(px) > 200 && green(px) > 200 && blue(px) > 200) {
      ++light;
    } else if (blue(px) > red(px) + 60) {
      ++dark;
    }
  }
  EXPECT_TRUE(help.transparent[0] && help.transparent[19] && help.transparent[19 * 20] &&
              help.transparent[399])
      << "round button: corners see through";
  EXPECT_GT(see_through, 20);
  EXPECT_GT(dark, 100) << "blue button face";
  EXPECT_GT(light, 15) << "white question mark";
  // the mark's dot sits apart from its hook: a light pixel in the middle column near
  // the bottom, with a non-light gap above it
  auto is_light = [&](int x, int y) {
    uint32_t px = help.rgba[y * 20 + x];
    return !help.transparent[y * 20 + x] && red(px) > 200 && green(px) > 200 && blue(px) > 200;
  };
  int dot_row = -1;
  for (int y = 19; y >= 10 && dot_row < 0; --y)
    if (is_light(10, y) || is_light(9, y)) dot_row = y;
  ASSERT_GE(dot_row, 12);
  bool gap = false;
  for (int y = dot_row - 1; y > 8; --y)
    if (!is_light(10, y) && !is_light(9, y)) gap = true;
  EXPECT_TRUE(gap);
}

TEST(ResourceArtwork, PictureBitmapsAre96By96TrueColourAndAlike) {
  const Bytes& normal = find_one(RT_BITMAP_, 100);
  const Bytes& hover = find_one(RT_BITMAP_, 103);
  ASSERT_GE(normal.size(), 40u);
  BitmapHeader h = read_bitmap_header(normal);
  EXPECT_EQ(h.width, 96);
  EXPECT_EQ(h.height, 96) << "bottom-up, 96 rows";
  EXPECT_EQ(h.planes, 1);
  EXPECT_EQ(h.bits, 24);
  EXPECT_EQ(h.compression, 0u);
  EXPECT_EQ(h.colours_used, 0u);
  EXPECT_EQ(normal.size(), 40u + 96 * 96 * 3) << "no palette; 288-byte rows need no padding";
  EXPECT_EQ(normal, hover) << "the hover look is the cursor, not the picture";
  // a drawn picture, not a blank
  std::map<uint32_t, int> colours;
  for (size_t i = 40; i + 3 <= normal.size(); i += 3)
    ++colours[normal[i] | normal[i + 1] << 8 | normal[i + 2] << 16];
  EXPECT_GT(colours.size(), 50u);
}

TEST(ResourceArtwork, ShellShowsTheProgramIcon) {
  // Explorer takes the first icon group: named ones sort first, then by id
  uint16_t lowest = 0xFFFF;
  for (const Resource& r : resources()) {
    if (!(r.type.is_id && r.type.id == RT_GROUP_ICON_)) continue;
    ASSERT_TRUE(r.name.is_id) << "a named icon group would come first";
    lowest = std::min(lowest, r.name.id);
    EXPECT_EQ(r.language, 0x0804);
  }
  EXPECT_EQ(lowest, 101);
}

// ------------------------------------------------------------------ manifest and version

TEST(ResourceManifest, AsksForAdministratorWithClassicControls) {
  const Bytes& m = find_one(RT_MANIFEST_, 1);
  std::string text(m.begin(), m.end());
  EXPECT_NE(text.find("<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\""),
            std::string::npos);
  EXPECT_NE(text.find("urn:schemas-microsoft-com:asm.v1"), std::string::npos);
  // version 6 controls would restyle the templates
  EXPECT_EQ(text.find("Common-Controls"), std::string::npos);
  EXPECT_EQ(text.find("dependentAssembly"), std::string::npos);
}

struct VersionNode {
  std::string key;
  Bytes value;
  bool text = false;
  std::vector<VersionNode> children;
};

VersionNode parse_version_node(const Bytes& b, size_t at) {
  VersionNode node;
  uint16_t length = u16(b, at), value_length = u16(b, at + 2), type = u16(b, at + 4);
  size_t end = std::min(at + length, b.size());
  size_t p = at + 6;
  node.key = narrow(read_sz(b, p));
  p = std::min(align4(p), end);
  node.text = type == 1;
  size_t value_bytes = node.text ? value_length * 2u : value_length;
  EXPECT_LE(p + value_bytes, end) << node.key << ": value runs past its block";
  node.value.assign(b.begin() + p, b.begin() + std::min(p + value_bytes, end));
  p = align4(p + value_bytes);
  while (p + 6 <= end) {
    uint16_t child_length = u16(b, p);
    if (child_length == 0) break;
    node.children.push_back(parse_version_node(b, p));
    p = align4(p + child_length);
  }
  return node;
}

const VersionNode* child(const VersionNode& n, const std::string& key) {
  for (const VersionNode& c : n.children)
    if (c.key == key) return &c;
  return nullptr;
}

std::string text_value(const VersionNode* n) {
  if (!n) return "<missing>";
  std::u16string s;
  for (size_t i = 0; i + 1 < n->value.size(); i += 2) {
    char16_t c = char16_t(n->value[i] | n->value[i + 1] << 8);
    if (c == 0) break;
    s.push_back(c);
  }
  return narrow(s);
}

TEST(ResourceVersionInfo, NamesTheProductAndItsVersion) {
  const Bytes& v = find_one(RT_VERSION_, 1);
  ASSERT_GT(v.size(), 92u);
  VersionNode root = parse_version_node(v, 0);
  EXPECT_EQ(root.key, "VS_VERSION_INFO");
  ASSERT_EQ(root.value.size(), 52u) << "VS_FIXEDFILEINFO";
  EXPECT_EQ(u32(root.value, 0), 0xFEEF04BDu);
  EXPECT_EQ(u32(root.value, 8), 0x00010000u) << "file version 1.0";
  EXPECT_EQ(u32(root.value, 12), 0u) << "file version .0.0";
  EXPECT_EQ(u32(root.value, 16), 0x00010000u) << "product version 1.0";
  EXPECT_EQ(u32(root.value, 20), 0u);
  EXPECT_EQ(u32(root.value, 32), 0x00040004u) << "VOS_NT_WINDOWS32";
  EXPECT_EQ(u32(root.value, 36), 1u) << "VFT_APP";

  const VersionNode* strings = child(root, "StringFileInfo");
  ASSERT_NE(strings, nullptr);
  const VersionNode* neutral = child(*strings, "000004b0");
  ASSERT_NE(neutral, nullptr);
  EXPECT_EQ(text_value(child(*neutral, "ProductName")), "zerka USB/HDD installer");
  EXPECT_EQ(text_value(child(*neutral, "CompanyName")), "zerka community");
  EXPECT_EQ(text_value(child(*neutral, "FileVersion")), "1.0.0.0");
  EXPECT_EQ(text_value(child(*neutral, "ProductVersion")), "1.0.0.0");
  const VersionNode* chinese = child(*strings, "080404b0");
  ASSERT_NE(chinese, nullptr);
  EXPECT_EQ(text_value(child(*chinese, "ProductName")), "zerka USB/HDD installer");
  EXPECT_EQ(text_value(child(*chinese, "FileVersion")), "1.0.0.0");

  const VersionNode* vars = child(root, "VarFileInfo");
  ASSERT_NE(vars, nullptr);
  const VersionNode* translation = child(*vars, "Translation");
  ASSERT_NE(translation, nullptr);
  ASSERT_EQ(translation->value.size(), 8u);
  EXPECT_EQ(u16(translation->value, 0), 0x0804);
  EXPECT_EQ(u16(translation->value, 2), 1200);
  EXPECT_EQ(u16(translation->value, 4), 0x0000);
  EXPECT_EQ(u16(translation->value, 6), 1200);
}

TEST(ResourceFile, EverythingIsInChineseAndNothingExtra) {
  std::map<uint16_t, int> per_type;
  for (const Resource& r : resources()) {
    ASSERT_TRUE(r.type.is_id) << "no custom resource types";
    EXPECT_EQ(r.language, 0x0804) << "type " << r.type.id;
    ++per_type[r.type.id];
  }
  EXPECT_EQ(per_type[RT_DIALOG_], 2);
  EXPECT_EQ(per_type[RT_GROUP_ICON_], 3);
  EXPECT_EQ(per_type[RT_ICON_], 3);
  EXPECT_EQ(per_type[RT_BITMAP_], 2);
  EXPECT_EQ(per_type[RT_STRING_], 3) << "ids 1..40 fill blocks 1 to 3";
  EXPECT_EQ(per_type[RT_MANIFEST_], 1);
  EXPECT_EQ(per_type[RT_VERSION_], 1);
  EXPECT_EQ(per_type[RT_CURSOR_], 0);
}

}  // namespace
