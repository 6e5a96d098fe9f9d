// Story verbs, the library texts and the captain's question and arrival.

#include "game/story.h"

#include <array>
#include <string>

#include "editor/editor.h"
#include "game/loop.h"
#include "game/output.h"

namespace game {
namespace {

constexpr std::string_view BookText[] = {
    "",
    "     Isto é o livro sobre piratas de Julius o Pirata."_text,
    "     Incluídos são muitas informações sobre outros piratas, navios e tesouros."_text,
    "     Você folheia rapidamente o livro até que você ache uma entrada grande "_text,
    "     em uma moeda espanhola antiga no valor de milhares de dólares"_text,
    "     e localizada em uma ilha perto daqui."_text,
    "     A latitude é 45 graus e a longitude é 24 graus."_text,
    "",
    "     Você nota que na parte inferior da última página "_text,
    "     existe algo mais escrito:"_text,
    "",
    "     Para outras referências sobre Julius o Pirata, procure por Julius"_text,
    "     num catálogo de cartões que se encontra na biblioteca de navio."_text,
};

constexpr std::string_view NoteText[] = {
    "",
    "     Para achar um livro entre os muitos livros de nossa maravilhosa biblioteca,"_text,
    "     basta procurar pelo assunto e então vai achar o livro."_text,
    "     Eu espero que os livros entreterão você e alargarão seus horizontes "_text,
    "     e não deixe de pô-los de volta na estante, ou então!!!"_text,
    "",
    "                                        -Jonny, o Capitão"_text,
};

constexpr std::string_view JuliusEntry[] = {
    "",
    "    Você examina o catálogo de cartão, ache um livro sobre Julius "_text,
    "    o Pirata, vi pegá-lo nas prateleiras, e acha este trecho:"_text,
    "",
    "    Julius o Pirata era um grande pirata, conhecido para suas aventuras ousadas"_text,
    "    e que conquistou tesouros raros e valiosos. "_text,
    "    Seu tesouro escondido mais famoso foi uma moeda de ouro espanhola,"_text,
    "    uma moeda original já que só havia sido cunhada uma em 1635. "_text,
    "    Julius morreu antes de poder recuperar a moeda mas registrou os graus"_text,
    "    da ilha que a moeda famosa deveria estar, em seu livro de pirata,"_text,
    "    herdado por várias gerações de descendentes."_text,
    "    O último herdeiro conhecido registrado do livro foi Humphry Goodfellow,"_text,
    "    que morreu em um incência em sua casa."_text,
    "    O paradeiro do livro é desconhecido."_text,
    "",
    "    Você lê em até você acha o último parágrafo, que você fica"_text,
    "    chocado pela seguinte observação:"_text,
    "",
    "    Julius o Pirata era um grande pirata, mas tinha um problema "_text,
    "    com seu olho esquerdo, que o fez pôr as marcas 5 graus para oeste"_text,
    "    nos originais dos mapas de longitude e latitude."_text,
};

constexpr std::string_view IslandEntry[] = {
    "",
    "    A Ilha de Quelvar é uma das ilhas mais mais assustadoras de todo oceano."_text,
    "    O nome da ilha dava frio na espinha de muitos jovens marinheiros."_text,
    "    Os capitães mais valentes ficaram longe da ilha "_text,
    "    só para ficar fora dos horrores que a superstição propala."_text,
    "    As lendas também dizem que uma moeda de ouro espanhol valiosíssima"_text,
    "    está na Ilha de Quelvar, mas até hoje ninguém sequer tentou achar a moeda."_text,
    "    Entretanto, não existem registros todas as viagens!"_text,
};

constexpr std::string_view TobiasEntry[] = {
    "",
    "    Tobias Quint é um dos maiores piratas dos sete mares!"_text,
    "    Ele fugiu de uma cela de prisão e achou a Moeda de Prata Espanhola,"_text,
    "    a segunda em valor perdendo para só a moeda de ouro famosa"_text,
    "    feita pelos Espanhóis. Ele continua a vagar o mundo afora"_text,
    "    à procura de aventura e intrigas."_text,
};

constexpr std::string_view GasparEntry[] = {
    "",
    "    Gaspar Velun era o Imediato de Julius o Pirata."_text,
    "    Ele era a única pessoa a bordo que sabia escrever."_text,
    "    Todos os registros tinham sido feitos por ele,"_text,
    "    inclusive a localização de todos os tesouros."_text,
    "    Ele foi morto por Julius devido a uma intriga da tripulação."_text,
};

constexpr std::array<CatalogueEntry, 4> CatalogueTable = {{
    {"PROCURAR JULIUS"_word, JuliusEntry},
    {"PROCURAR ILHA"_word, IslandEntry},
    {"PROCURAR TOBIAS"_word, TobiasEntry},
    {"PROCURAR GASPAR"_word, GasparEntry},
}};

constexpr std::string_view WrongCoordinates[] = {
    "\"Você é um idiota!! Nós temos velejado por dias e até agora não achamos a Ilha de Quelvar.\""_text,
    "\"Eu não devia ter confiado em você, mesmo sendo meu neto.\""_text,
    "O capitão então retira seu alfanje e decapita você.\""_text,
};

constexpr std::string_view Landing[] = {
    "Parabéns!! Nós viemos ter à praia da antiga Ilha de Quelvar."_text,
    "Agora desembarque pelo tombadilho de estibordo a leste."_text,
    "O capitão então dá você uma bolsa de prata."_text,
    "\"Gaste isto com juízo. É seu pagamento SE você não voltar.\""_text,
};

// Rest, or when the player named nothing, the answer to question.
std::string TargetOrAnswer(const Game& game, std::string_view question) {
  if (!game.command.rest.empty()) return game.command.rest;
  SayLine(question);
  return ReadAnswer();
}

}  // namespace

std::span<const CatalogueEntry> Catalogue() { return CatalogueTable; }

void DoDig(Game& game) {
  World& world = game.world;
  const std::string tool = TargetOrAnswer(game, "Com o que vai cavar? "_text);
  if (tool != "PICARETA"_word) {
    SayLine("Você não pode usar isso para cavar."_text);
  } else if (!world.IsCarried(Pickaxe)) {
    SayLine("Você não possue uma picareta. "_text);
  } else if (world.room != Cliff && world.room != InnerCove && world.room != BatCave) {
    if (world.room > SecretCave) {  // the ship's rooms, and the bay after them
      SayLine("Se você cavar no navio, pode causar um vazamento."_text);
    } else {
      SayLine("O chão é muito duro aqui."_text);
    }
  } else if (world.room == Cliff) {
    SayLine("Você cava no chão... Você bate em algo! É um caixão!"_text);
    SayLine("Quando você abre o caixão, um esqueleto salta para fora,"_text);
    SayLine("com uma faca estendida, apunhalando você!!"_text);
    SayLine("O caixão era uma armadilha!!"_text);
    world.gameOver = true;
  } else if (world.room == InnerCove) {
    SayLine("Você cava mas você não acha nada."_text);
  } else {
    SayLine("Ao cavar na terra úmida você acidentalmente encontra uma grade no chão!"_text);
    world.place[Grating] = BatCave;
  }
}

void DoKnock(Game& game) {
  World& world = game.world;
  const std::string target = TargetOrAnswer(game, "Onde você quer bater? "_text);
  if (target != "PORTA"_word) {
    SayLine("Que atitude estranha!!!"_text);
  } else if (world.room != PortDeckEast && world.room != Cabin && world.room != CorridorNorth) {
    SayLine("Eu não vejo nenhuma porta aqui."_text);
  } else if (world.room == PortDeckEast && !world.flags.knockedOnCaptain) {
    SayLine("Você bate na porta e espera. Logo o capitão abre e permite que você entre."_text);
    world.flags.knockedOnCaptain = true;
    LineEnd();
    world.room = CaptainsQuarters;
    world.lookPending = true;
  } else if (world.room == PortDeckEast) {
    SayLine("Não há resposta."_text);
  } else {
    SayLine("Nada acontece."_text);
  }
}

void DoSwim(Game& game) {
  World& world = game.world;
  switch (world.room) {
    case BayTop:
    case BayBottom:
      SayLine("Você nada ao redor por algum tempo e acaba voltando para onde você está agora."_text);
      break;
    case ShallowCove: SayLine("A água é muito rasa para nadar aqui."_text); break;
    case InnerCove:
      SayLine("Você nada para fora na baía..."_text);
      world.room = BayTop;
      world.lookPending = true;
      break;
    default: SayLine("Você não pode nadar aqui!"_text); break;
  }
}

void DoBuy(Game& game) {
  World& world = game.world;
  const std::string& rest = game.command.rest;
  if (rest.empty()) {
    SayLine("Comprar o que? "_text);
    return;
  }
  if (rest != "ALHO"_word) {
    SayLine("O que você quer realmente não pode ser comprado!"_text);
    return;
  }
  if (world.flags.garlicBought) {
    SayLine("Mas você já comprou alho!"_text);
    return;
  }
  if (world.room != Galley && !world.IsCarried(Garlic)) {
    SayLine("Eu não vejo nenhum alho aqui."_text);
    return;
  }
  SayLine("Com o quê vai pagar?"_text);
  const std::string payment = ReadAnswer();
  if (payment != "SACO"_word && payment != "PRATA"_word) {
    SayLine("\"Você é um bobalhão!"_text);
    SayLine("Pensou que eu iria aceitar menos que prata por meu alho!\""_text);
    SayLine("Por isso você vai ser decapitado!"_text);
    world.gameOver = true;
  } else if (!world.IsCarried(Bag)) {
    SayLine("\"Você quis me enganar, você não tem bolsa de prata nem uma!\" "_text);
    SayLine("O cozinheiro pega uma faca e corta sua garganta. "_text);
    SayLine(
        "No fim de sua vida você escuta uma vós distante dizer: \"Isso te ensinará para sempre a nunca enganar cozinheiros.\" "_text);
    world.gameOver = true;
  } else {
    SayLine("O cozinheiro considera cuidadosamente e em tão diz: "_text);
    SayLine("\"Bem, acho que é um bom negócio\" "_text);
    SayLine("Emtão o cozinheiro te entrega o dente de alho e pega sua bolsa de prata. "_text);
    world.place[Garlic] = Carried;
    world.place[Bag] = Nowhere;
    world.flags.garlicBought = true;
  }
}

void DoClimb(Game& game) {
  World& world = game.world;
  const std::string& rest = game.command.rest;
  if (rest == "MASTRO"_word) {
    if (world.room == MidDeckEast || world.room == MidDeckWest) {
      SayLine("Você sobe o mastro... Logo você está na vigia da gávea."_text);
      world.room = world.room == MidDeckEast ? CrowsNestEast : CrowsNestWest;
      world.lookPending = true;
    } else {
      SayLine("Eu não posso ver nenhum mastro aqui."_text);
    }
  } else if (rest == "ESCADA"_word) {
    if (world.room == StarboardEast) {
      SayLine("Se você quer descer a escada então diga."_text);
    } else {
      SayLine("Eu não vejo nenhuma escada aqui."_text);
    }
  } else {
    SayLine("Você não pode subir nisto!"_text);
  }
}

void DoRead(Game& game) {
  const World& world = game.world;
  const std::string& rest = game.command.rest;
  if (!world.IsCarried(Book)) {
    SayLine("Você não está levando nenhum livro!"_text);
  } else if (rest.empty() || rest == "LIVRO"_word) {
    SayLines(BookText);
  } else if (rest != "NOTA"_word) {
    SayLine("Você não pode ler isto!"_text);
  } else if (world.room != Library) {
    SayLine("Você não acha nenhuma nota aqui."_text);
  } else {
    SayLines(NoteText);
  }
}

void DoSearch(Game& game) {
  if (game.world.room != Library) {
    SayLine("Você não pode achar mais informações sobre isto aqui."_text);
    SayLine("Tente a biblioteca do navio, está aberta 24 horas por dia!"_text);
    return;
  }
  for (const CatalogueEntry& entry : CatalogueTable) {
    if (game.command.line == entry.command) {
      SayLines(entry.lines);
      return;
    }
  }
  SayLine("Bem... Esta informações não está registrada aqui."_text);
  SayLine("Talvez você deva procurar outras palavras-chave, por exemplo..."_text);
  SayLine("PROCURAR TOBIAS"_text);
}

void AskCoordinates(Game& game) {
  World& world = game.world;
  LineEnd();
  SayLine("O capitão olha para você então diz"_text);
  SayLine("\"Bem, qual é a longitude de Ilha de Quelvar? \""_text);
  editor::ReadNumber(world.longitudeGiven);
  SayLine("OK, agora qual é a latitude?"_text);
  editor::ReadNumber(world.latitudeGiven);
  SayLine("\"É melhor estar certo ou lamentará ter acordado esta manhã! Agora vá embora.\""_text);
  world.questionAsked = 1;
  world.room = PortDeckEast;
  if (world.longitudeGiven == world.rightLongitude && world.latitudeGiven == world.rightLatitude) {
    world.flags.coordinatesRight = true;
    LineEnd();
  } else {
    world.flags.coordinatesRight = false;
  }
}

void CaptainArrives(Game& game) {
  World& world = game.world;
  world.place[Captain] = world.room;
  SayLine("O capitão caminha até você."_text);
  if (!world.flags.coordinatesRight) {
    SayLines(WrongCoordinates);
    game.command.leaveTurnLoop = true;
    return;
  }
  SayLines(Landing);
  world.place[Captain] = CaptainsQuarters;
  world.exits[StarboardEast].south = ShallowCove;
  world.flags.arrivedAtIsland = true;
  world.place[Bag] = Carried;
}

}  // namespace game
