// Whole runs of the emulated runner with the maker's signature checked (--public-key), shared by
// the Qt runner's tests and the Win32 runner's, so that both windows are held to one table:
// every image refused is refused before the click, in the status line that names the file and
// the reason, with the button disabled: the click reads nothing, sends no feature report and
// leaves the device in application mode (exit status 0). A good signature updates as without
// keys, with `signature` "verified".
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "emulated_platform.h"
#include "runner_run.h"
#include "signature_fixtures.h"

namespace dalvorn::testing::signature {

struct SignedRunCase {
  const char* name;
  std::vector<std::string_view> keys;  // PEM texts given with --public-key
  enum class Sig { SignedByA, SignedByB, None, Directory, Truncated } sig;
  bool flipImage;  // one bit of the image changed after it was signed
  int exitCode;
  const char* reason;  // as the status line says it; nullptr: the image is taken
};

inline const std::vector<SignedRunCase>& SignedRunCases() {
  using Sig = SignedRunCase::Sig;
  static const std::vector<SignedRunCase> cases = {
      {"GoodSignatureUpdates", {MakerAPem}, Sig::SignedByA, false, 0, nullptr},
      {"SecondKeySigns", {MakerAPem, MakerBPem}, Sig::SignedByB, false, 0, nullptr},
      {"NoKeyChecksNothing", {}, Sig::None, true, 0, nullptr},
      {"NoSignatureFile", {MakerAPem}, Sig::None, false, 0, "there is no signature file"},
      {"SignatureIsAFolder", {MakerAPem}, Sig::Directory, false, 0, "cannot be read"},
      {"MalformedSignature", {MakerAPem}, Sig::Truncated, false, 0, "is malformed"},
      {"AnotherMakersKey",
       {MakerAPem},
       Sig::SignedByB,
       false,
       0,
       "matches none of the maker's keys"},
      {"FlippedImage", {MakerAPem}, Sig::SignedByA, true, 0, "matches none of the maker's keys"},
  };
  return cases;
}

// Writes the case's image, signature and key files into `folder`; returns the runner's arguments
// for them (--program-dir, --public-key...; the caller adds --trace and --click).
inline std::vector<std::string> WriteSignedRunFiles(const SignedRunCase& c,
                                                    const std::filesystem::path& folder) {
  const auto write = [&](const std::string& name, const std::uint8_t* data, std::size_t size) {
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  };
  auto image = Image;
  if (c.flipImage) image[77] ^= 0x10;
  write("Varnholt.bin", image.data(), image.size());
  switch (c.sig) {
    case SignedRunCase::Sig::SignedByA:
      write("Varnholt.bin.sig", ByALowS.data(), ByALowS.size());
      break;
    case SignedRunCase::Sig::SignedByB:
      write("Varnholt.bin.sig", ByB.data(), ByB.size());
      break;
    case SignedRunCase::Sig::Truncated:
      write("Varnholt.bin.sig", ByALowS.data(), ByALowS.size() - 3);
      break;
    case SignedRunCase::Sig::Directory:
      std::filesystem::create_directory(folder / "Varnholt.bin.sig");
      break;
    case SignedRunCase::Sig::None:
      break;
  }
  std::vector<std::string> args = {"--program-dir", folder.string()};
  for (std::size_t i = 0; i < c.keys.size(); ++i) {
    const std::string name = "maker-" + std::to_string(i) + ".pub.pem";
    write(name, reinterpret_cast<const std::uint8_t*>(c.keys[i].data()), c.keys[i].size());
    args.insert(args.end(), {"--public-key", (folder / name).string()});
  }
  return args;
}

// What the run's trace and exit status must show; "" when all holds, else what does not.
inline std::string CheckSignedRun(const SignedRunCase& c, const std::vector<nlohmann::json>& lines,
                                  int exitCode) {
  std::string faults;
  const auto fault = [&](const std::string& what) { faults += what + "; "; };
  if (exitCode != c.exitCode) fault("exit status " + std::to_string(exitCode));
  std::vector<nlohmann::json> loads, boxes;
  std::vector<std::string> statuses;
  bool buttonEnabled = true;
  std::size_t reports = 0, left = 0;
  nlohmann::json flash;
  for (const auto& l : lines) {
    const std::string ev = l.value("ev", ""), op = l.value("op", "");
    if (ev == "image" && op == "load") loads.push_back(l);
    if (ev == "window" && op == "message_box") boxes.push_back(l);
    if (ev == "window" && op == "status") statuses.push_back(l.value("text", ""));
    if (ev == "window" && op == "enabled") buttonEnabled = l.value("value", true);
    if (ev == "call" && l.value("fn", "") == "HidD_SetFeature") ++reports;
    if (ev == "device" && op == "left") ++left;
    if (ev == "device" && op == "flash") flash = l;
  }
  const bool signedBuild = !c.keys.empty();
  if (c.reason == nullptr) {
    if (loads.size() != 1) return faults + std::to_string(loads.size()) + " image load lines";
    const nlohmann::json& load = loads[0];
    if (load.value("bytes", 0u) != Image.size()) fault("image not taken whole: " + load.dump());
    if (load.value("signature", "") != (signedBuild ? "verified" : "not checked")) {
      fault("signature field: " + load.dump());
    }
    if (!boxes.empty()) fault("a message box: " + boxes[0].dump());
    if (reports == 0) fault("nothing sent");
    auto image = Image;
    if (c.flipImage) image[77] ^= 0x10;
    const std::size_t whole = image.size() / 40 * 40;
    if (flash.value("bytes", 0u) != whole ||
        flash.value("sha256", "") != emulator::Sha256Hex(image.data(), whole)) {
      fault("flash is not the image: " + flash.dump());
    }
    return faults;
  }
  if (!loads.empty()) fault("the image was read at a click: " + loads[0].dump());
  if (!boxes.empty()) fault("a message box: " + boxes[0].dump());
  const std::string said = "The firmware image \"Varnholt.bin\" is not signed by the maker: ";
  if (statuses.empty() || statuses.back().rfind(said, 0) != 0 ||
      statuses.back().find(c.reason) == std::string::npos) {
    fault("status line: " + nlohmann::json(statuses).dump());
  }
  if (buttonEnabled) fault("the button was left enabled");
  if (reports != 0) fault(std::to_string(reports) + " feature reports sent");
  if (left != 0) fault("the device left its mode");
  if (flash.value("bytes", 1u) != 0) fault("flash: " + flash.dump());
  return faults;
}

// Runs the case through `run`, clicked once loaded, and checks it as CheckSignedRun does.
inline std::string RunSignedCase(const SignedRunCase& c, const Runner& run) {
  const ScratchFolder folder;
  std::vector<std::string> args = WriteSignedRunFiles(c, folder.Path());
  args.push_back("--click");
  const RunnerRun r = RunRunner(run, args, folder);
  return CheckSignedRun(c, r.lines, r.exitCode);
}

}  // namespace dalvorn::testing::signature
