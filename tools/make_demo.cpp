// parlatrix-make-demo [--english] OUT: writes the demo document examples/demo.dlg with the
// program's own writer. Three plots of Korean and Chinese lines; texts are UTF-8, the code page of
// the usual Linux locale. The speakers and expressions are those of examples/Parlatrix.ini.
// --english writes the same story in English (examples/en/demo.dlg, with
// examples/en/Parlatrix.ini), for the pictures of the English interface.
#include <cstdio>
#include <cstring>

#include "model/dlg_file.h"

namespace {

struct DemoLine {
  const char* speaker;
  const char* expression;
  const char* sound;
  const char* text;
};

bool AddPlot(CDlgFile& document, const char* name, int low, int high,
             std::initializer_list<DemoLine> lines) {
  PlotPos plot = document.AddPlot(name, low, high);
  if (plot == nullptr) return false;
  for (const DemoLine& line : lines) {
    CDlgItem item;
    item.SetSpeaker(line.speaker);
    item.SetExpression(line.expression);
    item.SetSound(line.sound);
    item.SetText(line.text);
    if (document.AddItem(item, plot, nullptr) == nullptr) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  constexpr char kUsage[] =
      "usage: parlatrix-make-demo [--english] OUT.dlg\nWrites the demo document to OUT.dlg; "
      "--english: the English demo.\n";
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const bool english = argc == 3 && std::strcmp(argv[1], "--english") == 0;
  const char* out = argv[argc - 1];
  // An option is never a file name: "--hlep" must not become a file of that name.
  if ((argc != 2 && !english) || out[0] == '-') {
    std::fputs(kUsage, stderr);
    return 2;
  }
  CDlgFile document;
  if (english) {
    document.SetGameName("Starlight Inn");
    document.SetColumns(1, 1, 1);
    document.SetMultiLine(1);
    const bool built =
        AddPlot(document, "Chapter 1 First Meeting", 0, 100,
                {{"Minjun", "Normal", "m0001.wav", "Welcome to the Starlight Inn."},
                 {"Seoyeon", "Smile", "s0001.wav", "Would you have a room for the night?"},
                 {"Minjun", "Surprised", "m0002.wav", "A guest at this late hour!"}}) &&
        AddPlot(document, "Chapter 2 The Tea House", 100, 200,
                {{"Seoyeon", "Normal", "s0101.wav", "The tea here smells wonderful."},
                 {"Minjun", "Smile", "m0101.wav", "It is my grandmother's recipe."},
                 {"Seoyeon", "Sad", "", "I have not been home for a long time."}}) &&
        AddPlot(document, "Chapter 3 On the Road Again", 200, 300,
                {{"Minjun", "Normal", "m0201.wav", "Take care on the road.\r\nCome again soon."},
                 {"Seoyeon", "Smile", "s0201.wav", "Thank you. I will be back!"}});
    if (!built || !document.Save(out)) {
      std::fprintf(stderr, "parlatrix-make-demo: cannot write %s\n", out);
      return 1;
    }
    return 0;
  }
  document.SetGameName("별빛 여관");
  document.SetColumns(1, 1, 1);
  document.SetMultiLine(1);
  bool built = AddPlot(document, "1장 첫 만남", 0, 100,
                       {{"민준", "기본", "m0001.wav", "어서 오세요, 별빛 여관입니다."},
                        {"서연", "웃음", "s0001.wav", "하룻밤 묵을 방이 있을까요?"},
                        {"민준", "놀람", "m0002.wav", "이렇게 늦은 시간에 손님이라니!"}}) &&
               AddPlot(document, "第二章 茶馆", 100, 200,
                       {{"서연", "기본", "s0101.wav", "这里的茶很香。"},
                        {"민준", "웃음", "m0101.wav", "这是我祖母留下的配方。"},
                        {"서연", "슬픔", "", "我已经很久没有回家了。"}}) &&
               AddPlot(document, "3장 다시 길 위에", 200, 300,
                       {{"민준", "기본", "m0201.wav", "길 조심하세요.\r\n다음에 또 오세요."},
                        {"서연", "웃음", "s0201.wav", "고마워요. 꼭 다시 올게요!"}});
  if (!built) {
    std::fprintf(stderr, "parlatrix-make-demo: out of memory\n");
    return 1;
  }
  if (!document.Save(out)) {
    std::fprintf(stderr, "parlatrix-make-demo: cannot write %s\n", out);
    return 1;
  }
  return 0;
}
