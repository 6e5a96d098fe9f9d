// Writes a key script of random commands from the game's vocabulary, for soak runs.
//
//   game_soak_keys SEED COMMANDS > file.keys
//
// Commands mix verbs, objects, noise words, directions, answers to the follow-up questions,
// numbers for the captain, odd spacing and now and then a special key. At every restart
// question some answer other than "n" keeps the run going; the script ends with the window
// closing wherever the game is.

#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> Verbs = {
    "ajuda",  "voltar",   "procurar", "inventário",   "i",          "pontos",   "cavar",   "bater",  "olhar",  "nadar",
    "descer", "baixo",    "b",        "subir",        "cima",       "c",        "n",       "s",      "e",      "w",
    "d",      "u",        "ir",       "vai",          "andar",      "caminhar", "pegar",   "tomar",  "deixar", "largar",
    "soltar", "abrir",    "config",   "configuração", "destrancar", "rebentar", "comprar", "trepar", "ler",    "fim",
    "xyzzy",  "abandonar"};
const std::vector<std::string> Words = {"picareta",    "capitão",  "chave",   "alho",   "livro",    "espada", "baú",
                                        "cozinheiro",  "moeda",    "bandeja", "caixa",  "baioneta", "grade",  "saco",
                                        "prata",       "porta",    "gaveta",  "mastro", "escada",   "nota",   "julius",
                                        "ilha",        "tobias",   "gaspar",  "norte",  "sul",      "leste",  "oeste",
                                        "+entrour",    "-entrour", "guisado", "29",     "45",       "24",     "-0",
                                        "99999999999", "29abc",    ""};
const std::vector<std::string> Noise = {"",    "",    "",    "para ", "com ", "até ", "uma ",
                                        "um ", "no ", "na ", "do ",   "da ",  "o ",   "a "};
const std::vector<std::string> Keys = {"<Esc>", "<F1>",  "<Up>",  "<Left>",   "<Home>",
                                       "<BS>",  "<Del>", "<Tab>", "<Ctrl+a>", "<Space>"};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: game_soak_keys SEED COMMANDS\n";
    return 2;
  }
  std::mt19937 random(static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)));
  const long commands = std::strtol(argv[2], nullptr, 10);
  const auto pick = [&random](const std::vector<std::string>& list) -> const std::string& {
    return list[std::uniform_int_distribution<std::size_t>(0, list.size() - 1)(random)];
  };
  const auto chance = [&random](int percent) { return std::uniform_int_distribution<int>(0, 99)(random) < percent; };
  std::cout << "## Soak run, seed " << argv[1] << ", " << commands << " commands\n";
  for (long i = 0; i < commands; ++i) {
    std::string line;
    if (chance(5)) line += pick(Keys);
    if (chance(10)) line += "  ";
    if (chance(15)) {
      line += pick(Words);  // an answer to a question, or nonsense as a command
    } else {
      line += pick(Verbs);
      if (chance(60)) line += " " + pick(Noise) + pick(Words);
    }
    if (chance(3)) line += std::string(std::uniform_int_distribution<int>(1, 300)(random), 'z');
    // A death can come with any command, and the restart question takes the next key: a
    // line must not begin with "n", which would end the program. A leading blank changes
    // nothing for a command.
    if (line.starts_with('n') || line.starts_with('N')) line = " " + line;
    if (line.starts_with("fim") || line.starts_with("abandonar")) {
      // The restart question takes one key: keep playing.
      std::cout << line << "\ns<NoEnter>\n";
      continue;
    }
    std::cout << line << "\n";
  }
  return 0;
}
