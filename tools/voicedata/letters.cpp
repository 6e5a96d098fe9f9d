// The recordings of the letters folder: characters, number and calendar words, editing
// sounds, phonetic-alphabet names and dial tones.

#include "tools/voicedata/letters.h"

#include <array>
#include <utility>

namespace voicedata {
namespace {

// Names of the characters 32..126 (ASCII letters come from Letter below).
constexpr std::pair<int, const char*> Signs[] = {{32, "espaço"},
                                                 {33, "exclamação"},
                                                 {34, "aspas"},
                                                 {35, "cerquilha"},
                                                 {36, "cifrão"},
                                                 {37, "por cento"},
                                                 {38, "e comercial"},
                                                 {39, "apóstrofo"},
                                                 {40, "abre parênteses"},
                                                 {41, "fecha parênteses"},
                                                 {42, "asterisco"},
                                                 {43, "mais"},
                                                 {44, "vírgula"},
                                                 {45, "hífen"},
                                                 {46, "ponto"},
                                                 {47, "barra"},
                                                 {48, "zero"},
                                                 {49, "um"},
                                                 {50, "dois"},
                                                 {51, "três"},
                                                 {52, "quatro"},
                                                 {53, "cinco"},
                                                 {54, "seis"},
                                                 {55, "sete"},
                                                 {56, "oito"},
                                                 {57, "nove"},
                                                 {58, "dois pontos"},
                                                 {59, "ponto e vírgula"},
                                                 {60, "menor que"},
                                                 {61, "igual"},
                                                 {62, "maior que"},
                                                 {63, "interrogação"},
                                                 {64, "arroba"},
                                                 {91, "abre colchetes"},
                                                 {92, "barra invertida"},
                                                 {93, "fecha colchetes"},
                                                 {94, "circunflexo"},
                                                 {95, "sublinhado"},
                                                 {96, "acento grave"},
                                                 {123, "abre chaves"},
                                                 {124, "barra vertical"},
                                                 {125, "fecha chaves"},
                                                 {126, "til"},
                                                 // Keys the line editor echoes.
                                                 {8, "apagar"},
                                                 {9, "tabulação"},
                                                 {13, "enter"},
                                                 {27, "esc"},
                                                 // Windows-1252 signs.
                                                 {128, "euro"},
                                                 {130, "vírgula baixa"},
                                                 {131, "florim"},
                                                 {132, "aspas baixas"},
                                                 {133, "reticências"},
                                                 {134, "adaga"},
                                                 {135, "adaga dupla"},
                                                 {136, "circunflexo"},
                                                 {137, "por mil"},
                                                 {139, "aspa angular esquerda"},
                                                 {145, "aspa simples esquerda"},
                                                 {146, "aspa simples direita"},
                                                 {147, "aspas esquerdas"},
                                                 {148, "aspas direitas"},
                                                 {149, "marcador"},
                                                 {150, "traço"},
                                                 {151, "travessão"},
                                                 {152, "til"},
                                                 {153, "marca comercial"},
                                                 {155, "aspa angular direita"},
                                                 {160, "espaço"},
                                                 {161, "exclamação invertida"},
                                                 {162, "centavo"},
                                                 {163, "libra"},
                                                 {164, "moeda"},
                                                 {165, "iene"},
                                                 {166, "barra partida"},
                                                 {167, "parágrafo"},
                                                 {168, "trema"},
                                                 {169, "direitos autorais"},
                                                 {170, "ordinal feminino"},
                                                 {171, "aspas angulares esquerdas"},
                                                 {172, "negação"},
                                                 {173, "hífen"},
                                                 {174, "marca registrada"},
                                                 {175, "mácron"},
                                                 {176, "grau"},
                                                 {177, "mais ou menos"},
                                                 {178, "ao quadrado"},
                                                 {179, "ao cubo"},
                                                 {180, "acento agudo"},
                                                 {181, "micro"},
                                                 {182, "fim de parágrafo"},
                                                 {183, "ponto médio"},
                                                 {184, "cedilha"},
                                                 {185, "sobrescrito um"},
                                                 {186, "ordinal masculino"},
                                                 {187, "aspas angulares direitas"},
                                                 {188, "um quarto"},
                                                 {189, "um meio"},
                                                 {190, "três quartos"},
                                                 {191, "interrogação invertida"},
                                                 {215, "vezes"},
                                                 {247, "dividido por"}};

constexpr std::array<const char*, 26> LetterNames = {
    "á",   "bê", "cê", "dê",  "é",    "éfe",  "gê", "agá", "i",  "jota",   "cá",  "éle",     "ême",
    "ene", "ó",  "pê", "quê", "érre", "ésse", "tê", "u",   "vê", "dáblio", "xis", "ípsilon", "zê"};

constexpr std::array<const char*, 26> PhoneticNames = {
    "alfa",    "bravo", "chárli",    "délta",  "éco",      "fóxtrote", "gólfe",  "hotél",    "índia",
    "júliete", "quilo", "lima",      "máique", "novêmber", "óscar",    "papá",   "quebéque", "rômeu",
    "siérra",  "tango", "iúniforme", "víctor", "uísque",   "éks rei",  "iânqui", "zulu"};

// Letters of Windows-1252 from 192 (capital) and 224 (small), by position 0..31.
constexpr std::array<const char*, 32> AccentedNames = {
    "á crase",       "á agudo",       "á circunflexo", "á til",         "á trema", "á com anel", "á é ligados",
    "cê cedilha",    "é grave",       "é agudo",       "ê circunflexo", "é trema", "i grave",    "i agudo",
    "i circunflexo", "i trema",       "éte",           "ene til",       "ó grave", "ó agudo",    "ô circunflexo",
    "ó til",         "ó trema",       nullptr,         "ó cortado",     "u grave", "u agudo",    "u circunflexo",
    "u trema",       "ípsilon agudo", "thórn",         "ésse duplo"};

// Words of the spoken numbers, the clock and the calendar, as ASCII file words and as said.
constexpr std::pair<const char*, const char*> Words[] = {{"zero", "zero"},
                                                         {"um", "um"},
                                                         {"dois", "dois"},
                                                         {"tres", "três"},
                                                         {"quatro", "quatro"},
                                                         {"cinco", "cinco"},
                                                         {"seis", "seis"},
                                                         {"sete", "sete"},
                                                         {"oito", "oito"},
                                                         {"nove", "nove"},
                                                         {"dez", "dez"},
                                                         {"onze", "onze"},
                                                         {"doze", "doze"},
                                                         {"treze", "treze"},
                                                         {"quatorze", "quatorze"},
                                                         {"quinze", "quinze"},
                                                         {"dezesseis", "dezesseis"},
                                                         {"dezessete", "dezessete"},
                                                         {"dezoito", "dezoito"},
                                                         {"dezenove", "dezenove"},
                                                         {"vinte", "vinte"},
                                                         {"trinta", "trinta"},
                                                         {"quarenta", "quarenta"},
                                                         {"cinquenta", "cinquenta"},
                                                         {"sessenta", "sessenta"},
                                                         {"setenta", "setenta"},
                                                         {"oitenta", "oitenta"},
                                                         {"noventa", "noventa"},
                                                         {"cem", "cem"},
                                                         {"cento", "cento"},
                                                         {"duzentos", "duzentos"},
                                                         {"trezentos", "trezentos"},
                                                         {"quatrocentos", "quatrocentos"},
                                                         {"quinhentos", "quinhentos"},
                                                         {"seiscentos", "seiscentos"},
                                                         {"setecentos", "setecentos"},
                                                         {"oitocentos", "oitocentos"},
                                                         {"novecentos", "novecentos"},
                                                         {"mil", "mil"},
                                                         {"milhao", "milhão"},
                                                         {"milhoes", "milhões"},
                                                         {"bilhao", "bilhão"},
                                                         {"bilhoes", "bilhões"},
                                                         {"trilhao", "trilhão"},
                                                         {"trilhoes", "trilhões"},
                                                         {"uma", "uma"},
                                                         {"duas", "duas"},
                                                         {"primeiro", "primeiro"},
                                                         {"de", "de"},
                                                         {"e", "i"},
                                                         {"hora", "hora"},
                                                         {"horas", "horas"},
                                                         {"minuto", "minuto"},
                                                         {"minutos", "minutos"},
                                                         {"Domingo", "domingo"},
                                                         {"Segunda", "segunda"},
                                                         {"Terca", "terça"},
                                                         {"Quarta", "quarta"},
                                                         {"Quinta", "quinta"},
                                                         {"Sexta", "sexta"},
                                                         {"Sabado", "sábado"},
                                                         {"Janeiro", "janeiro"},
                                                         {"Fevereiro", "fevereiro"},
                                                         {"Marco", "março"},
                                                         {"Abril", "abril"},
                                                         {"Maio", "maio"},
                                                         {"Junho", "junho"},
                                                         {"Julho", "julho"},
                                                         {"Agosto", "agosto"},
                                                         {"Setembro", "setembro"},
                                                         {"Outubro", "outubro"},
                                                         {"Novembro", "novembro"},
                                                         {"Dezembro", "dezembro"}};

// The line editor's own sounds.
constexpr std::pair<const char*, const char*> EditingSounds[] = {
    {"_DEL", "apaga"},                 // a character deleted
    {"_FALACI", "eco ligado"},         // typed characters are heard
    {"_FALDLG", "eco desligado"},      // typed characters are not heard
    {"_APFCPO", "apagado até o fim"},  // the field cleared from the cursor to its end
    {"_APICPO", "apagado até o início"},
    {"_CPOAPA", "linha apagada"},
    {"_VELOC", "velocidade"},  // the rate key waits for a digit
    {"_MENOS", "menos"}};

// Row and column frequencies of the telephone keypad.
struct Tone {
  char key;
  int low;
  int high;
};
constexpr Tone DialTones[] = {{'1', 697, 1209}, {'2', 697, 1336}, {'3', 697, 1477}, {'4', 770, 1209},
                              {'5', 770, 1336}, {'6', 770, 1477}, {'7', 852, 1209}, {'8', 852, 1336},
                              {'9', 852, 1477}, {'X', 941, 1209}, {'0', 941, 1336}, {'#', 941, 1477}};

}  // namespace

std::string WordFileName(const std::string& asciiWord) {
  const std::string word = asciiWord == "dezessete" ? "dezeset" : asciiWord;
  return ("_" + word).substr(0, 8);
}

std::vector<Recording> LettersFolderRecordings() {
  std::vector<Recording> out;
  auto add = [&out](std::string name, std::string text, bool raised = false) {
    out.push_back(Recording{std::move(name), std::move(text), raised});
  };
  for (const auto& [code, text] : Signs) add("_" + std::to_string(code), text);
  for (int i = 0; i < 26; ++i) {
    add("_" + std::to_string('A' + i), LetterNames[i], true);
    add("_" + std::to_string('a' + i), LetterNames[i]);
    add("_FON" + std::to_string('A' + i), PhoneticNames[i], true);
    add("_FON" + std::to_string('a' + i), PhoneticNames[i]);
  }
  // Š Œ Ž Ÿ and š œ ž.
  add("_138", "ésse cáron", true);
  add("_140", "ó é ligados", true);
  add("_142", "zê cáron", true);
  add("_159", "ípsilon trema", true);
  add("_154", "ésse cáron");
  add("_156", "ó é ligados");
  add("_158", "zê cáron");
  for (int i = 0; i < 32; ++i) {
    if (!AccentedNames[i]) continue;
    if (i == 31) {
      add("_223", AccentedNames[i]);  // the sharp s has no capital; 255 is the y with diaeresis
      continue;
    }
    add("_" + std::to_string(192 + i), AccentedNames[i], true);
    add("_" + std::to_string(224 + i), AccentedNames[i]);
  }
  add("_255", "ípsilon trema");
  for (const auto& [word, said] : Words) add(WordFileName(word), said);
  for (const auto& [name, said] : EditingSounds) add(name, said);
  add("_TRACO", "");  // the transcription's separator mark: a short silence
  for (const Tone& tone : DialTones) {
    out.push_back(Recording{std::string("dtmf_") + tone.key, "", false, tone.low, tone.high});
  }
  return out;
}

}  // namespace voicedata
