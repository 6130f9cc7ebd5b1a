// -json read back by an independent JSON reader (Python's json module): the documents of -list and
// -check are valid JSON and say what the lines say.
#include <gtest/gtest.h>

#include "support/process.h"
#include "tests/test_command_util.h"

namespace Zentu {
namespace {

namespace fs = std::filesystem;
using Testing::Arg;
using Testing::UtilityRun;
using Vadu::Testing::WriteFileBytes;

class JsonOutput : public Testing::CommandTest {
 protected:
  // What the Python program `script` prints for the document; it reads it as `d`.
  std::string Read(const std::string& document, const std::string& script) {
    const fs::path file = work_.Path() / "document.json";
    const fs::path program = work_.Path() / "read.py";
    WriteFileBytes(file, document);
    WriteFileBytes(
        program,
        "import json, sys\nd = json.load(open(sys.argv[1], encoding='utf-8'))\n" + script + "\n");
    const Vadu::CommandResult result =
        Vadu::RunProgramCaptured(u"/usr/bin/python3",
                                 Vadu::QuoteWindowsArgument(Vadu::Testing::Wide(program)) + u" " +
                                     Vadu::QuoteWindowsArgument(Vadu::Testing::Wide(file)),
                                 Vadu::StderrRedirect::ToOutput);
    EXPECT_EQ(result.exitCode, 0) << Vadu::Testing::Utf8(result.output) << document;
    return Vadu::Testing::Utf8(result.output);
  }
};

TEST_F(JsonOutput, ListAndCheckAreReadByAJsonReader) {
  if (!fs::exists("/usr/bin/python3")) GTEST_SKIP() << "no python3 to read the documents";
  const fs::path program = work_.Path() / "app.bin";
  // A name with a quote, a backslash, a control character and one that is not UTF-8.
  Testing::WriteWithBlock(
      program, "host",
      {{"a \"q\" \\ \x01.txt", "12"},
       {"caf\xE9", "x"},
       {"date", std::to_string(Vadu::DateTime(2026, 1, 31, 0, 0, 0, 0).Value())}});
  UtilityRun run = RunOwnOutput("-list " + Arg(program) + " -json");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(Read(run.output,
                 "for r in d['resources']: print(ascii(r['name']), r['size'])\n"
                 "print(d['date']['day'], d['ok'], d['messages'])"),
            "'a \"q\" \\\\ \\x01.txt' 2\n'caf\\ufffd' 1\n2026-01-31 True []\n");

  // -check: where the XML breaks, and the warnings.
  const fs::path resources = MakeResources(
      {{"oem_info.xml",
        "<?xml version=\"1.0\"?>\n<vendormark><oem>\n  <ProductName>Cam</ProductName>\n  <x>\n"},
       {"logo.png", "12345"}});
  run = RunOwnOutput("-check " + Arg(resources) + " -json");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(Read(run.output,
                 "print(d['ready'], len(d['errors']), d['errors'][0]['line'] > 0, "
                 "'column' in d['errors'][0])\n"
                 "print(sorted((f['name'], f['size']) for f in d['files']))\n"
                 "print(d['compressedSize'] > 0, d['fitsAndroid'], len(d['date']) > 10)"),
            "False 1 True True\n[('logo.png', 5), ('oem_info.xml', 79)]\nTrue True True\n");

  fs::remove(resources / "oem_info.xml");
  WriteFileBytes(resources / "oem_info.xml",
                 "<?xml version=\"1.0\"?>\n<vendormark><oem><ProductName>A product named far too "
                 "long</ProductName><ProductNmae>x</ProductNmae></oem></vendormark>\n");
  run = RunOwnOutput("-json -check " + Arg(resources));
  EXPECT_EQ(Read(run.output,
                 "print(d['ready'], [e['message'] for e in d['errors']], "
                 "[sorted(e) for e in d['errors']])\n"
                 "print(len(d['warnings']), all(w['message'].startswith('WARNING: ') "
                 "for w in d['warnings']))"),
            "False ['ERROR: ProductNmae: unknown key, did you mean ProductName?'] "
            "[['message']]\n2 True\n");
}

}  // namespace
}  // namespace Zentu
