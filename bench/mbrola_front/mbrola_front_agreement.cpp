// Phoneme agreement of the front end with espeak-ng's mb-br4 voice, run by hand.
//
// espeak-ng prints br4 phoneme lines (--pho) only when an executable named "mbrola" is
// first on PATH and a br4 voice file exists. Set both up first; without them this tool
// says so and exits with status 2. Nothing is synthesized, so the script "mbrola" beside
// this file will do for the program and any non-empty file for the voice; put it at
// /usr/share/mbrola/voices/br4, where espeak-ng looks but the game's registry does not:
//
//   mkdir -p /usr/share/mbrola/voices && echo br4 > /usr/share/mbrola/voices/br4
//   PATH=bench/mbrola_front:$PATH build/bench/mbrola_front/mbrola_front_agreement
//
//   mbrola_front_agreement [--verbose] [--sentences=FILE] [data folder]
//
// --sentences takes the sentences from a UTF-8 file, one a line, instead of the list below.
//
// Labels are compared without pauses ("_"), aligned by edit distance; the figure is
// matched labels / labels of the longer sequence, summed over all sentences.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mbrola_front/pipeline.h"
#include "text/cp1252.h"

namespace {

const char* const Sentences[] = {
    "A casa do meu pai é bonita.",
    "O gato subiu no telhado da igreja.",
    "Hoje o tempo está bom para pescar.",
    "O navio chegou ao porto pela manhã.",
    "Onde está a chave do baú?",
    "Eu não sei quem abriu a porta.",
    "O capitão quer saber a latitude da ilha.",
    "Pegue o livro na biblioteca do navio.",
    "As águas do mar estão calmas.",
    "As asas da gaivota são brancas.",
    "Vamos remar até a praia.",
    "O tesouro foi enterrado perto da árvore.",
    "Ele comprou pão e leite na padaria.",
    "A menina cantava uma canção antiga.",
    "Nós vamos jantar às oito horas.",
    "Você quer ir comigo ao mercado?",
    "O marinheiro dormia no convés.",
    "Cuidado com as pedras no caminho!",
    "A moeda de ouro brilhava na areia.",
    "O vento forte rasgou a vela.",
    "Meu irmão trabalha numa fábrica de sapatos.",
    "Ninguém sabe onde fica a cidade perdida.",
    "O sol nasce todos os dias no leste.",
    "A professora explicou a lição com paciência.",
    "Os pássaros voavam sobre o rio.",
    "Ela gosta muito de ler romances.",
    "O relógio da sala parou às duas horas.",
    "Quando o navio partiu, todos choraram.",
    "A comida estava quente e gostosa.",
    "Ele escreveu uma carta para a mãe.",
    "O cachorro latia para o carteiro.",
    "Depois da chuva, o céu ficou azul.",
    "Ontem eu encontrei um amigo antigo.",
    "A ilha tem muitas palmeiras e coqueiros.",
    "O pirata guardou o mapa no bolso.",
    "Os homens levantaram a âncora.",
    "Precisamos de água e comida para a viagem.",
    "A lua cheia iluminava o convés.",
    "O menino quebrou a janela da escola.",
    "Eles jogaram futebol na praia.",
    "O velho contou uma história de fantasmas.",
    "A garrafa tinha uma mensagem dentro.",
    "Ninguém respondeu ao chamado do capitão.",
    "O cozinheiro preparou peixe com arroz.",
    "Também quero conhecer o Brasil.",
    "Abra o baú e pegue a moeda.",
    "O caminho para o norte é perigoso.",
    "A tripulação cantou durante a noite.",
    "Ele fechou os olhos e dormiu.",
    "Os rapazes remaram até a ilha grande.",
};

std::vector<std::string> Labels(const std::vector<std::string>& lines) {
  std::vector<std::string> labels;
  for (const std::string& line : lines) {
    std::istringstream in(line);
    std::string name;
    if (!(in >> name) || name[0] == ';' || name[0] == '_') continue;
    labels.push_back(name);
  }
  return labels;
}

std::vector<std::string> EspeakLabels(const std::string& utf8Sentence) {
  std::string command = "espeak-ng -q -v mb-br4 --pho \"";
  for (const char c : utf8Sentence) {
    if (c == '"' || c == '\\' || c == '$' || c == '`') command += '\\';
    command += c;
  }
  command += "\" 2>/dev/null";
  std::vector<std::string> lines;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) lines.emplace_back(buffer);
    pclose(pipe);
  }
  return Labels(lines);
}

// Matched labels of the best alignment (edit distance with unit costs).
size_t MatchedLabels(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  const size_t n = a.size(), m = b.size();
  std::vector<std::vector<size_t>> d(n + 1, std::vector<size_t>(m + 1));
  for (size_t i = 0; i <= n; ++i) d[i][0] = i;
  for (size_t j = 0; j <= m; ++j) d[0][j] = j;
  for (size_t i = 1; i <= n; ++i) {
    for (size_t j = 1; j <= m; ++j) {
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    }
  }
  const size_t longer = std::max(n, m);
  return longer - d[n][m];
}

std::string Join(const std::vector<std::string>& labels) {
  std::string out;
  for (const auto& label : labels) out += label + " ";
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  bool verbose = false;
  std::string folder = QUELVAR_FRONT_DATA_DIR;
  std::vector<std::string> sentences(std::begin(Sentences), std::end(Sentences));
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--verbose") == 0) {
      verbose = true;
    } else if (std::strncmp(argv[i], "--sentences=", 12) == 0) {
      std::ifstream in(argv[i] + 12);
      if (!in) {
        std::fprintf(stderr, "cannot read %s\n", argv[i] + 12);
        return 1;
      }
      sentences.clear();
      for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(' ') != std::string::npos) sentences.push_back(line);
      }
    } else {
      folder = argv[i];
    }
  }
  if (EspeakLabels("teste").empty()) {
    std::fprintf(stderr, "espeak-ng gives no mb-br4 phonemes: set up its mbrola first\n");
    return 2;
  }
  mbrola_front::FrontEndData data;
  if (mbrola_front::LoadFrontEndData(mbrola_front::FrontEndFilesIn(folder), data) !=
      mbrola_front::FrontEndLoadError::None) {
    std::fprintf(stderr, "cannot load the front-end data from %s\n", folder.c_str());
    return 1;
  }
  size_t matched = 0, total = 0;
  for (const std::string& sentence : sentences) {
    mbrola_front::PhoLineState state;
    const auto ours = Labels(mbrola_front::TextToPhoLines(data, state, text::Utf8ToCp1252(sentence)));
    const auto theirs = EspeakLabels(sentence);
    const size_t m = MatchedLabels(ours, theirs);
    matched += m;
    total += std::max(ours.size(), theirs.size());
    if (verbose && m != std::max(ours.size(), theirs.size())) {
      std::printf("%s\n  ours:   %s\n  espeak: %s\n", sentence.c_str(), Join(ours).c_str(), Join(theirs).c_str());
    }
  }
  std::printf("phoneme agreement: %zu of %zu labels (%.1f %%) over %zu sentences\n", matched, total,
              total == 0 ? 0.0 : 100.0 * static_cast<double>(matched) / static_cast<double>(total), sentences.size());
  return 0;
}
