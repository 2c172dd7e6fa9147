// Writes the seed corpus of every fuzz target, made by the program's own encoders and the
// simulated units, plus damaged copies (cut short, bytes changed). Run by hand when a format
// changes; the corpus is kept in tests/data/fuzz/:
//   build/bin/orvak_fuzz_seeds tests/data/fuzz
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "custom/CPData.h"
#include "core/protocol/ControlMessage.h"
#include "core/file/DataStream.h"
#include "core/model/Device.h"
#include "core/protocol/DiscoveryFrames.h"
#include "core/file/ImageTree.h"
#include "core/model/Link.h"
#include "core/protocol/SevenBit.h"
#include "core/model/Snapshot.h"
#include "core/system/System.h"
#include "core/model/User.h"
#include "core/system/Zone.h"
#include "custom/BitmapControl.h"
#include "custom/ButtonControl.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/TextControl.h"
#include "devices/processor/NerexBlocks.h"
#include "devices/processor/NerexClipboard.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Archive.h"
#include "platform/Bitmap.h"
#include "platform/Clipboard.h"
#include "platform/Image.h"
#include "platform/Sync.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tools/devsim/SimDiscoveryUnit.h"
#include "tools/devsim/SimProcessor.h"
#include "tools/devsim/SimSecurityUnit.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class CSeedWriter {
 public:
  explicit CSeedWriter(fs::path root) : m_root(std::move(root)) {}

  // Writes one seed of the target unless the same bytes were written already.
  void Add(const std::string& target, const Bytes& bytes) {
    if (!m_seen.insert(target + std::string(bytes.begin(), bytes.end())).second) return;
    const fs::path folder = m_root / target;
    fs::create_directories(folder);
    char name[32];
    std::snprintf(name, sizeof name, "seed-%04u", ++m_count[target]);
    std::ofstream(folder / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                         std::streamsize(bytes.size()));
  }
  // The seed with a prefix of choice bytes, and its damaged copies: cut in half, and with a
  // byte in the middle changed.
  void AddWithDamage(const std::string& target, const Bytes& prefix, const Bytes& body) {
    auto with = [&](const Bytes& b) {
      Bytes all = prefix;
      all.insert(all.end(), b.begin(), b.end());
      Add(target, all);
    };
    with(body);
    if (body.size() > 1) with(Bytes(body.begin(), body.begin() + std::ptrdiff_t(body.size() / 2)));
    if (!body.empty()) {
      Bytes changed = body;
      changed[changed.size() / 2] ^= 0x5A;
      with(changed);
    }
  }
  std::size_t Total() const {
    std::size_t n = 0;
    for (const auto& [target, count] : m_count) n += count;
    return n;
  }

 private:
  fs::path m_root;
  std::set<std::string> m_seen;
  std::map<std::string, unsigned> m_count;
};

Bytes FrameOf(const CControlMessage& m) { return Bytes(m.frame, m.frame + m.FrameBytes()); }

std::uint8_t ChoiceOf(std::uint32_t typeCode, std::uint32_t modelIndex = 0) {
  const auto& types = FuzzDeviceTypes();
  for (std::size_t i = 0; i < types.size(); ++i)
    if (types[i].typeCode == typeCode && types[i].modelIndex == modelIndex) return std::uint8_t(i);
  return 0;
}

// Runs a processor's read-back against a simulated unit, keeping every reply as a seed.
void ProcessorReplies(CSeedWriter& out, CSystem& system, int model) {
  CSimProcessorUnit unit(model, 1);
  std::unique_ptr<CDevice> device(system.CreateDevice(1, std::uint32_t(model), 0));
  const std::uint8_t choice = ChoiceOf(std::uint32_t(model));
  for (int step = 0; step < 120; ++step) {
    CControlMessage record;
    if (!device->GetNextPollMessage(record)) break;
    const Bytes reply = unit.Handle(FrameOf(record)).Wire();
    if (step < 40 || step % 10 == 0)
      out.AddWithDamage("device_reply", {choice, std::uint8_t(record.command), std::uint8_t(record.write)}, reply);
    std::memcpy(record.frame, reply.data(), std::min(reply.size(), CControlMessage::kFrameSize));
    record.receivedLength = std::uint32_t(std::min(reply.size(), CControlMessage::kFrameSize));
    CSingleLock lock(system.GetLock());
    if (record.receivedLength) device->ProcessReply(record);
  }
  CControlMessage security;
  if (device->BuildReadSecurityMessage(security)) {
    const Bytes reply = unit.Handle(FrameOf(security)).Wire();
    out.AddWithDamage("user_table", {choice, 0}, reply);
  }
}

// The security block of an amplifier or breakout box with two users.
void SecurityReplies(CSeedWriter& out, CSystem& system, std::uint32_t typeCode, std::uint32_t modelIndex) {
  SimSecurityConfig config;
  config.typeCode = std::uint8_t(typeCode);
  CSimSecurityUnit unit(config);
  unit.SetUsers({{"Admin", "secret"}, {"Operator", ""}});
  std::unique_ptr<CDevice> device(system.CreateDevice(1, typeCode, modelIndex));
  if (!device) return;
  const std::uint8_t choice = ChoiceOf(typeCode, modelIndex);
  CControlMessage read;
  if (device->BuildReadSecurityMessage(read)) {
    const Bytes reply = unit.Handle(FrameOf(read)).Wire();
    out.AddWithDamage("user_table", {choice, 0}, reply);
    out.AddWithDamage("device_reply", {choice, std::uint8_t(read.command), 0}, reply);
  }
  CControlMessage check;
  if (device->BuildSecurityCheckMessage(check)) {
    const Bytes reply = unit.Handle(FrameOf(check)).Wire();
    out.AddWithDamage("device_reply", {choice, std::uint8_t(check.command), 0}, reply);
  }
  for (int step = 0; step < 8; ++step) {
    CControlMessage record;
    if (!device->GetNextPollMessage(record)) break;
    const Bytes reply = unit.Handle(FrameOf(record)).Wire();
    out.AddWithDamage("device_reply", {choice, std::uint8_t(record.command), std::uint8_t(record.write)}, reply);
  }
  const CUserTable table = unit.GetTable();
  out.AddWithDamage("user_table", {choice, 1}, Bytes(table.begin(), table.end()));
}

void DiscoveryReplies(CSeedWriter& out) {
  const ShortReplyForm forms[] = {ShortReplyForm::kForm1, ShortReplyForm::kForm2, ShortReplyForm::kForm3};
  for (std::uint8_t type : {16, 51, 60, 114}) {
    for (ShortReplyForm form : forms) {
      SimDiscoveryConfig config;
      config.typeCode = type;
      config.shortId = 5;
      config.longId = 0x01020304;
      config.variant = 0x010203;
      config.form = form;
      CSimDiscoveryUnit unit(config);
      CControlMessage probe;
      BuildShortIdProbe(probe, 5);
      out.AddWithDamage("discovery_reply", {}, unit.Handle(FrameOf(probe)).Wire());
      for (std::uint8_t level = 0; level < 4; ++level) {
        CControlMessage longProbe;
        BuildLongIdProbe(longProbe, level, config.longId);
        out.AddWithDamage("discovery_reply", {}, unit.Handle(FrameOf(longProbe)).Wire());
      }
      const std::uint8_t idBytes[4] = {1, 2, 3, 4};
      CControlMessage query;
      BuildTypeQuery(query, idBytes);
      out.AddWithDamage("discovery_reply", {}, unit.Handle(FrameOf(query)).Wire());
      CControlMessage check;
      BuildScanCompleteCheck(check);
      out.AddWithDamage("discovery_reply", {}, unit.Handle(FrameOf(check)).Wire());
    }
  }
}

void Blocks(CSeedWriter& out, CSystem& system) {
  static const int kModels[] = {16, 17, 110, 112, 114, 115, 116, 118, 120, 121};
  for (std::uint8_t m = 0; m < std::size(kModels); ++m) {
    const int model = kModels[m];
    std::unique_ptr<CDevice> device(system.CreateDevice(1, std::uint32_t(model), 0));
    auto& d = static_cast<CNerexSeriesDevice&>(*device);
    const int n = d.GetInputCount(), outputs = d.GetOutputCount();
    const CNerexSeriesMemory& image = d.GetCurrentSettings();
    Bytes inputs, outs, geq, deq;
    EncodeInputBlock(image.inputs, n, model, inputs);
    EncodeOutputBlock(image.outputs, outputs, model, outs);
    EncodeGeqBlock(image.geq, n, geq);
    EncodeDeqBlock(image, n, deq);
    auto seed = [&](std::uint8_t decoder, int count, std::uint8_t format, const Bytes& body, bool prefixed) {
      Bytes all = prefixed ? Bytes{0, 0} : Bytes{};
      all.insert(all.end(), body.begin(), body.end());
      out.AddWithDamage("block_decode", {m, decoder, std::uint8_t(count), format}, all);
    };
    seed(0, n, 0, inputs, true);
    seed(1, outputs, 0, outs, true);
    seed(2, n, 0, geq, true);
    seed(3, n, 0, deq, true);
    for (std::uint8_t format = 0; format < 2; ++format) {
      seed(4, n, format, inputs, false);
      seed(5, outputs, format, outs, false);
      seed(7, n, format, deq, false);
    }
    seed(6, n, 0, geq, false);
  }
}

void SerialFraming(CSeedWriter& out) {
  // A unit's 20-byte reply that repeats the request's ID (byte 4) and command (byte 6).
  auto replyOf = [](std::uint8_t id, std::uint8_t command) {
    Bytes body(16);
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = std::uint8_t(i);
    body[1] = id;
    body[3] = command;
    return MakeFramedReply(0xA8, body);
  };
  const Bytes reply = replyOf(5, 0x4F);
  auto pieces = [](std::initializer_list<Bytes> list) {
    Bytes all;
    for (const Bytes& p : list) {
      all.push_back(std::uint8_t(p.size()));
      all.insert(all.end(), p.begin(), p.end());
    }
    return all;
  };
  // The expected length (4: 20 bytes), the flags, the units and the rounds (see
  // SerialFramingFuzz.cpp); no unit: each request goes to no device.
  const Bytes head(reply.begin(), reply.begin() + 7), tail(reply.begin() + 7, reply.end());
  out.Add("serial_framing", Bytes{4, 0, 0, 0} + pieces({reply, reply}));                 // read of 20
  out.Add("serial_framing", Bytes{4, 0, 0, 0} + pieces({head, tail, reply}));           // in two pieces
  out.Add("serial_framing", Bytes{4, 0, 0, 0} + pieces({Bytes{0x11, 0x22} + reply}));    // junk first
  out.Add("serial_framing", Bytes{4, 0, 0, 0} + pieces({{}, {}, reply}));               // two silences
  Bytes bad = reply;
  bad.back() ^= 1;
  out.Add("serial_framing", Bytes{4, 0, 0, 0} + pieces({bad, bad, bad, reply}));        // bad checksums
  out.Add("serial_framing", Bytes{4, 2, 0, 0} + pieces({bad, reply}));                  // no retry
  out.Add("serial_framing", Bytes{2, 0, 0, 0} + pieces({reply}));                       // asked for 10
  out.Add("serial_framing", Bytes{0, 1, 0, 0} + pieces({{0xA0}, {0xA0}}));             // write, ACK
  out.Add("serial_framing", Bytes{0, 1, 0, 0} + pieces({{0x55}, {0x55}, {0x55}, {0xA0}}));
  out.Add("serial_framing", Bytes{255, 0, 0, 0} + pieces({Bytes{0xA8, 0x7F, 0x7F}}));   // huge header

  // Units at IDs 1 and 2 that repeat the ID and command; the rounds ask 1, 2, 1, 2. The unit at
  // ID 1 answers only the resend of its request, and its answer to the first send comes during
  // the next unit's read: dropped there as its late answer, whole, cut, or behind other bytes.
  const Bytes one = replyOf(1, 0x4F), two = replyOf(2, 0x4F);
  const Bytes oneHead(one.begin(), one.begin() + 5), oneTail(one.begin() + 5, one.end());
  const std::uint8_t echo = 4, twoUnits = 2, oneTwoOneTwo = 0x44;
  out.Add("serial_framing", Bytes{4, echo, twoUnits, oneTwoOneTwo} + pieces({{}, one, one + two, one, two}));
  out.Add("serial_framing", Bytes{4, echo, twoUnits, oneTwoOneTwo} + pieces({{}, one, {}, one, two, one, two}));
  out.Add("serial_framing", Bytes{4, echo, twoUnits, oneTwoOneTwo} + pieces({{}, one, oneHead, oneTail + two, one, two}));
  out.Add("serial_framing", Bytes{4, echo, twoUnits, oneTwoOneTwo} + pieces({{}, {}, one, one, one + two, two}));
  // Silent sends end the transaction at one; between transactions the transport looks for the
  // late answers (units bit 6) and the verbose log names them.
  const std::uint8_t oneSilentSend = 0x10, verbose = 8, lookBetween = 0x40;
  out.Add("serial_framing", Bytes{4, std::uint8_t(echo | verbose | oneSilentSend), std::uint8_t(twoUnits | lookBetween),
                                  oneTwoOneTwo} +
                                pieces({{}, one, two, one, two}));
  // The same unit and command again, then the second command: the request waits for the late
  // answer that it could take for its own.
  const std::uint8_t secondCommandFromRound2 = 0x30, oneOneOneTwo = 0x40;
  out.Add("serial_framing", Bytes{4, echo, std::uint8_t(twoUnits | secondCommandFromRound2), oneOneOneTwo} +
                                pieces({{}, one, {}, one, one, replyOf(1, 0x3E), two}));
  // Writes: the ACK of the first send comes during the next write's wait for its own.
  out.Add("serial_framing", Bytes{0, std::uint8_t(1 | echo), twoUnits, oneTwoOneTwo} +
                                pieces({{}, {0xA0}, {0xA0, 0xA0}, {0xA0}, {0xA0}}));
}

void SystemFiles(CSeedWriter& out) {
  CSystem empty;
  CArchive plain;
  empty.File().Serialize(plain);
  out.AddWithDamage("system_file", {}, plain.Data());

  // One processor with every other family, users, a link and a snapshot.
  CSystem system;
  for (const CFuzzDeviceType& type : FuzzDeviceTypes()) {
    if (type.typeCode >= 100 || type.typeCode == 16 || type.typeCode == 17) {
      if (type.typeCode != 114) continue;
    }
    CDevice* device = system.CreateDevice(std::uint32_t(system.GetDeviceCount() + 1), type.typeCode, type.modelIndex);
    if (!device) continue;
    system.AppendDevice(device);
    system.GetZones()[0]->AppendDevice(device);
  }
  system.Users().GetUsers().push_back(new CUser("Operator", "pass"));
  auto* link = new CLink("Link 1");
  if (system.GetDeviceCount() >= 2) {
    link->AddRef(new CLinkRef(system.GetDevice(0)->GetUuid(), 13));
    link->AddRef(new CLinkRef(system.GetDevice(1)->GetUuid(), 13));
  }
  system.Links().AppendLink(link);
  system.Snapshots().AddSnapshot("Show");
  CArchive full;
  system.File().Serialize(full);
  out.AddWithDamage("system_file", {}, full.Data());
  // One file for each family (three processor models), so that a mutation meets each
  // family's records early.
  for (const CFuzzDeviceType& type : FuzzDeviceTypes()) {
    if ((type.typeCode >= 100 || type.typeCode == 17) && type.typeCode != 121) continue;
    CSystem one;
    CDevice* device = one.CreateDevice(1, type.typeCode, type.modelIndex);
    if (!device) continue;
    one.AppendDevice(device);
    one.GetZones()[0]->AppendDevice(device);
    one.Snapshots().AddSnapshot("One");
    CArchive ar;
    one.File().Serialize(ar);
    out.Add("system_file", ar.Data());
  }
  CArchive users;
  CUserList list{new CUser("Admin", "secret"), new CUser("Operator", "")};
  SerializeUsers(users, list);
  DeleteAllUsers(list);
  out.AddWithDamage("user_table", {0, 2}, users.Data());
}

void Clipboard(CSeedWriter& out, CSystem& system) {
  for (const CFuzzDeviceType& type : FuzzDeviceTypes()) {
    // Three processor models stand for the family: their records are large.
    if ((type.typeCode >= 100 || type.typeCode == 17) && type.typeCode != 114 && type.typeCode != 121) continue;
    std::unique_ptr<CDevice> device(system.CreateDevice(1, type.typeCode, type.modelIndex));
    if (!device) continue;
    const std::uint8_t choice = ChoiceOf(type.typeCode, type.modelIndex);
    auto* processor = dynamic_cast<CNerexSeriesDevice*>(device.get());
    if (processor) {
      for (std::uint32_t channel : {0u, 5u}) {
        processor->PanelView().SetSelectedChannel(channel);
        processor->CopyToClipboard(kCmdCopyChannel);
        Bytes record;
        GetClipboardData(processor->GetClipboardFormat(), record);
        for (std::uint8_t command : {2, 4, 6, 10}) out.AddWithDamage("clipboard", {0, choice, command, std::uint8_t(channel)}, record);
      }
    }
    std::ostringstream stream;
    CDataStream ds(stream);
    device->SerializeStream(ds);
    const std::string bytes = stream.str();
    out.AddWithDamage("clipboard", {1, choice, 0, 0}, Bytes(bytes.begin(), bytes.end()));
  }
}

// A photograph-like picture of the size, different for each seed.
CImage SeedPicture(int width, int height, int seed) {
  CImage picture(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture.SetPixel(x, y, CColour::FromArgb(std::uint8_t(255 - seed * 40), std::uint8_t(x * 9 + seed),
                                               std::uint8_t(y * 13), std::uint8_t((x ^ y) * 7)));
  return picture;
}

// Image library files: empty, and a tree of folders with a picture in each format, one that is
// no picture and one of format none; each also cut short and with a byte changed. The pictures
// themselves are the picture target's seeds, behind the byte that names their format.
void ImageLibraries(CSeedWriter& out) {
  CCCImageDirectory empty;
  CArchive plain;
  empty.Serialize(plain);
  out.AddWithDamage("image_library", {}, plain.Data());

  CCCImageDirectory root;
  auto* skins = new CCCImageDirectory("Skins");
  auto* nested = new CCCImageDirectory("Knöpfe");
  root.AddChild(skins);
  skins->AddChild(nested);
  int seed = 0;
  for (std::int32_t format : {kImageFormatBmp, kImageFormatJpeg, kImageFormatPng}) {
    auto* image = new CCCImage;
    image->m_name = "picture " + std::to_string(format);
    image->m_format = format;
    image->SetBitmap(SeedPicture(12 + seed, 9, seed));
    ++seed;
    (format == kImageFormatPng ? nested : skins)->AddChild(image);
    std::vector<std::uint8_t> bytes;
    EncodeBitmap(image->GetBitmap(), BitmapFormat(format), bytes);
    out.AddWithDamage("picture", {std::uint8_t(format)}, bytes);
    out.Add("picture", Bytes{0} + bytes);
  }
  auto* none = new CCCImage;
  none->m_name = "none";
  none->SetBitmap(SeedPicture(5, 5, 3));
  root.AddChild(none);
  root.AddChild(new CCCImage);  // no picture: stored without bytes
  CArchive full;
  root.Serialize(full);
  out.AddWithDamage("image_library", {}, full.Data());
}

// System files with custom panels: every widget kind in its looks and actions, bound to
// processor parameters of each value kind, pictures in every format as backgrounds and widget
// images, and one small file per widget kind.
void PanelFiles(CSeedWriter& out) {
  auto picture = [](const std::string& name, std::int32_t format, int w, int h) {
    auto* image = new CCCImage;
    image->m_name = name;
    image->m_format = format;
    image->SetBitmap(SeedPicture(w, h, format));
    return image;
  };
  auto store = [](CSystem& system) {
    CArchive ar;
    system.File().Serialize(ar);
    return ar.TakeData();
  };

  CSystem system;
  CDevice* processor = system.CreateDevice(1, 114, 0);
  system.AppendDevice(processor);
  system.GetZones()[0]->AppendDevice(processor);
  CCCImage* png = picture("face", kImageFormatPng, 6, 6);
  CCCImage* jpeg = picture("photo", kImageFormatJpeg, 16, 8);
  CCCImage* bmp = picture("cap", kImageFormatBmp, 5, 4);
  auto* folder = new CCCImageDirectory("Skins");
  folder->AddChild(bmp);
  system.Images().GetFileImages().AddChild(png);
  system.Images().GetFileImages().AddChild(jpeg);
  system.Images().GetFileImages().AddChild(folder);
  CSnapshot* snapshot = system.Snapshots().AddSnapshot("Show");

  CCPData* main = system.Panels().AddCustomPanel();
  CCPData* second = system.Panels().AddCustomPanel();
  CCPData* third = system.Panels().AddCustomPanel();
  main->m_pBackgroundImage = png;
  main->m_placement = {0, 1, -1, -1, -1, -1, 10, 20, 610, 470};
  main->m_panelWasOpen = true;
  second->m_pBackgroundImage = jpeg;
  second->m_imageUsage = kImageUsageCentre;
  second->m_gridPitch = 7;
  third->m_pBackgroundImage = bmp;
  third->m_imageUsage = kImageUsageStretch;
  auto bind = [processor](CCustomControlObject* widget, std::int32_t parameter) {
    widget->m_pDevice = processor;
    widget->m_parameterId = std::uint32_t(parameter);
    return widget;
  };
  auto& w = main->m_widgets;
  auto* stretched = new CCCBitmap(nullptr, CRect{0, 0, 60, 40});
  stretched->m_pImage = jpeg;
  auto* fixed = new CCCBitmap(nullptr, CRect{70, 0, 76, 6});
  fixed->m_pImage = png;
  fixed->m_imageUse = kImageUseFixToImage;
  auto* aspect = new CCCBitmap(nullptr, CRect{90, 0, 130, 32});
  aspect->m_pImage = bmp;
  aspect->m_imageUse = kImageUseAspectRatio;
  w.insert(w.end(), {stretched, fixed, aspect, new CCCBitmap(nullptr, CRect{140, 0, 200, 60})});
  w.push_back(bind(new CCCLED(nullptr, CRect{210, 0, 230, 20}), kParamInputMute));
  auto* fader = new CCCFader(nullptr, CRect{0, 70, 30, 270});
  fader->m_flags |= kFaderDrawScale | kFaderScaleBefore;
  fader->m_pKnobImage = png;
  w.push_back(bind(fader, kParamInputGain));
  auto* across = new CCCFader(nullptr, CRect{40, 70, 240, 100});
  across->m_flags = (across->m_flags | kFaderHorizontal | kFaderDrawScale | kFaderScaleAfter) & ~kFaderScaleBefore;
  across->m_rangeMin = -20.0f;
  across->m_rangeMax = 5.0f;
  w.push_back(bind(across, kParamInputGain + 1));
  w.push_back(new CCCFader(nullptr, CRect{250, 70, 265, 220}));
  auto* knob = new CCCKnob(nullptr, CRect{40, 110, 100, 170});
  knob->m_flags |= kKnobDrawLeds | kKnobDrawScale | kKnobDecimals1;
  w.push_back(bind(knob, kParamInputGain));
  auto* imageKnob = new CCCKnob(nullptr, CRect{110, 110, 150, 150});
  imageKnob->m_pImage = png;
  imageKnob->m_flags |= kKnobRotateBitmap | kKnobDrawNotch | kKnobReversed;
  w.push_back(bind(imageKnob, kParamInputDelay));
  w.push_back(new CCCKnob(nullptr, CRect{160, 110, 200, 150}));
  const std::pair<std::int32_t, std::uint32_t> texts[] = {{kParamInputGain, kTextDefaultFlags},
                                                          {kParamInputPeqFrequency, kTextDefaultFlags | kTextHalo},
                                                          {kParamInputPeqQ, kTextDefaultFlags | kTextOutline},
                                                          {kParamInputDelay, kTextDefaultFlags | kTextDelayMetres},
                                                          {kParamInputName, kTextDefaultFlags},
                                                          {0, kTextDefaultFlags | kTextHalo | kTextOutline}};
  int y = 180;
  for (const auto& [parameter, flags] : texts) {
    auto* text = new CCCTextControl(nullptr, "Arial", 10.0f, flags, CRect{210, y, 290, y + 20});
    w.push_back(parameter ? bind(text, parameter) : text);
    y += 25;
  }
  auto* modify = new CCCButton(nullptr, CRect{300, 0, 360, 24});
  modify->m_text = "Mute";
  modify->m_flags |= kButtonFill | kButtonHalo;
  w.push_back(bind(modify, kParamInputMute));
  auto* launch = new CCCButton(nullptr, CRect{300, 30, 360, 54});
  launch->m_flags = (launch->m_flags & ~kButtonActions) | kButtonLaunchPanel | kButtonOffset | kButtonHalo;
  launch->m_panelId = second->GetUuid();
  w.push_back(launch);
  auto* recall = new CCCButton(nullptr, CRect{300, 60, 360, 84});
  recall->m_flags = (recall->m_flags & ~kButtonActions) | kButtonRecallSnapshot;
  recall->m_snapshotId = snapshot->GetUuid();
  w.push_back(recall);
  auto* pictured = new CCCButton(nullptr, CRect{300, 90, 306, 96});
  pictured->m_pImage = png;
  pictured->m_flags = (pictured->m_flags & ~kButtonStretchImage) | kButtonFixToImage | kButtonHalo;
  pictured->m_text = "Go";
  w.push_back(pictured);
  second->m_widgets.push_back(bind(new CCCKnob(nullptr, CRect{5, 5, 45, 45}), kParamInputGain + 2));
  second->m_widgets.push_back(
      new CCCTextControl(nullptr, "Courier New", 14.0f, kTextDefaultFlags, CRect{50, 5, 150, 35}));
  out.AddWithDamage("panel_file", {}, store(system));

  // One file per widget kind, each on its own panel: short inputs reach each kind's record soon.
  for (std::uint32_t kind : {kControlBitmap, kControlLed, kControlFader, kControlKnob, kControlText, kControlButton}) {
    CSystem one;
    CDevice* device = one.CreateDevice(1, 114, 0);
    one.AppendDevice(device);
    CCPData* panel = one.Panels().AddCustomPanel();
    CCustomControlObject* widget = CreateCustomControl(kind);
    widget->SetRect(10, 10, 70, 70);
    if (kind != kControlBitmap) {
      widget->m_pDevice = device;
      widget->m_parameterId = kind == kControlLed || kind == kControlButton ? std::uint32_t(kParamInputMute)
                                                                            : std::uint32_t(kParamInputGain);
    }
    panel->m_widgets.push_back(widget);
    out.Add("panel_file", store(one));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  FuzzSetUp();
  CSeedWriter out{fs::path(argv[1])};
  CSystem system;
  for (int model : {16, 17, 110, 112, 114, 115, 116, 118, 120, 121}) ProcessorReplies(out, system, model);
  for (const CFuzzDeviceType& type : FuzzDeviceTypes())
    if (type.typeCode < 100 && type.typeCode > 30) SecurityReplies(out, system, type.typeCode, type.modelIndex);
  DiscoveryReplies(out);
  Blocks(out, system);
  SerialFraming(out);
  SystemFiles(out);
  Clipboard(out, system);
  ImageLibraries(out);
  PanelFiles(out);
  std::printf("%zu seeds written\n", out.Total());
  return 0;
}
