// Inventory, take, drop, open and unlock.

#include "game/objects.h"

#include <string>

#include "game/loop.h"
#include "game/output.h"

namespace game {
namespace {

int CarriedCount(const World& world) {
  int count = 0;
  for (int object = 1; object <= ObjectCount; ++object) {
    if (world.IsCarried(object)) ++count;
  }
  return count;
}

bool AnythingHere(const World& world) {
  for (int object = 1; object <= ObjectCount; ++object) {
    if (world.IsHere(object)) return true;
  }
  return false;
}

// The object called word that lies here (or is carried), or 0.
int ObjectNamed(const World& world, std::string_view word, int32_t place) {
  for (int object = 1; object <= ObjectCount; ++object) {
    if (Objects[object].word == word && world.place[object] == place) return object;
  }
  return 0;
}

void GiveTakingPoints(World& world) {
  if (world.IsCarried(Pickaxe) && !world.flags.scoredPickaxe) {
    world.score += 15;
    world.flags.scoredPickaxe = true;
  }
  if (world.IsCarried(Bayonet) && !world.flags.scoredBayonet) {
    world.score += 35;
    world.flags.scoredBayonet = true;
  }
  if (world.IsCarried(Coin) && !world.flags.scoredCoin) {
    world.score += 60;
    world.flags.scoredCoin = true;
  }
}

void OpenDrawer(World& world) {
  if (world.room != Cabin) {
    SayLine("Eu não vejo nenhuma gaveta aqui."_text);
  } else if (world.flags.drawerOpen) {
    SayLine("A gaveta já está aberta."_text);
  } else {
    SayLine("A gaveta está agora aberta. Dentro de você vê seu livro de pirata e sua espada."_text);
    world.place[Book] = Cabin;
    world.place[Sword] = Cabin;
    world.flags.drawerOpen = true;
  }
}

void OpenBox(World& world) {
  if (!world.IsCarried(Box)) {
    SayLine("Você nem mesmo tem uma caixa."_text);
  } else if (!world.flags.boxOpen) {
    SayLine("OK, a caixa está agora aberta. Você acha uma baioneta dentro."_text);
    world.place[Bayonet] = world.room;
    world.flags.boxOpen = true;
  } else {
    SayLine("A caixa já está aberta."_text);
  }
}

void OpenChest(const World& world) {
  if (world.room != SecretCave) {
    SayLine("Eu não vejo o baú aqui."_text);
  } else if (!world.flags.chestUnlocked) {
    SayLine("Você deve destrancar o baú."_text);
  } else {
    SayLine("O baú já está aberto."_text);
  }
}

void OpenDoor(World& world) {
  if (world.room != Cabin && world.room != PortDeckEast) {
    SayLine("Não existe nenhuma porta aqui."_text);
  } else if (world.room == Cabin && !world.flags.cabinDoorOpen) {
    SayLine("A porta se abre mostrando uma passagem para o leste."_text);
    world.exits[Cabin].east = CorridorNorth;
    world.exits[CorridorNorth].west = Cabin;
    world.flags.cabinDoorOpen = true;
  } else if (world.room == Cabin) {
    SayLine("A porta já está aberta."_text);
  } else {
    SayLine("A porta está trancada. "_text);
  }
}

void UnlockGrating(World& world, std::string_view tool) {
  if (tool == "CHAVE"_word) {
    SayLine("A chave não se encaixa na grade."_text);
  } else if (tool != "PICARETA"_word) {
    SayLine("Você não conseguirá destrancar a grade com isso! Está muito enferrujada."_text);
  } else if (world.flags.gratingUnlocked) {
    SayLine("A grade já está destrancada!"_text);
  } else {
    SayLine("A grade está agora destrancada e aberta!"_text);
    SayLine("A grade revela uma passagem descendente."_text);
    world.exits[BatCave].down = SecretCave;
    world.exits[SecretCave].up = BatCave;
    world.flags.gratingUnlocked = true;
  }
}

void UnlockChest(World& world, std::string_view tool) {
  if (tool == "BAIONETA"_word) {
    SayLine("A baioneta não se entra na fechadura do baú."_text);
  } else if (tool != "CHAVE"_word) {
    SayLine("Você não pode usar isso para destrancar o baú!"_text);
  } else if (world.flags.chestUnlocked) {
    SayLine("O baú já está destrancado!"_text);
  } else {
    SayLine("O baú está agora destrancado e aberto!"_text);
    SayLine("O baú revela um enorme moeda de ouro espanhola!"_text);
    world.flags.chestUnlocked = true;
    world.place[Coin] = SecretCave;
  }
}

}  // namespace

void ShowInventory(Game& game) {
  const World& world = game.world;
  SayLine("É isto que você está levando:"_text);
  bool any = false;
  for (int object = 1; object <= ObjectCount; ++object) {
    if (!world.IsCarried(object)) continue;
    SayLine(std::string("    ") + std::string(Objects[object].carriedText));
    any = true;
  }
  if (!any) SayLine("    nada"_text);
}

void DoTake(Game& game) {
  World& world = game.world;
  const std::string& rest = game.command.rest;
  if (rest.empty()) {
    SayLine("Pegar o que? "_text);
  } else if (rest == "BAÚ"_word && world.room == SecretCave) {
    SayLine("O baú é muito grande e pesado para você levar."_text);
  } else if (rest == "CAPITÃO"_word && world.room == CaptainsQuarters) {
    SayLine("O capitão se esquiva quando você o tenta erguer."_text);
    SayLine("\"Eh, você é algum tipo de tarado?\""_text);
  } else if (rest == "COZINHEIRO"_word && world.room == Galley) {
    SayLine("Os cozinheiro segura sua mão. \"Não agora, alguém poderia nos ver.\""_text);
  } else if (rest == "GUISADO"_word && world.room == Galley) {
    SayLine("Os cozinheiro segura sua mão. \"Espere o guisado ficar pronto.\""_text);
  } else if (rest == "ALHO"_word && !world.flags.coordinatesRight) {
    SayLine("\"Ninguém vai estragar o meu guisado.\""_text);
    SayLine("O cozinheiro retira-se uma faca e corta sua garganta."_text);
    SayLine("Ao morrer, você ouve o murmúrio de cozinheiro, \"Isso vai ensiná-lo para sempre.\""_text);
    world.gameOver = true;
  } else if (rest == "GRADE"_word && world.room == BatCave && world.place[Grating] == BatCave) {
    SayLine("A grade está bem presa."_text);
  } else if (CarriedCount(world) >= CarryingLimit) {
    SayLine("Você não pode levar nada mais."_text);
  } else if (!AnythingHere(world)) {
    SayLine("Não a nada assim por aqui. "_text);
  } else if (const int object = ObjectNamed(world, rest, world.room); object == 0) {
    SayLine("Eu não vejo nada aqui."_text);
  } else {
    world.place[object] = Carried;
    SayLine("Ok."_text);
    GiveTakingPoints(world);
  }
}

void DoDrop(Game& game) {
  World& world = game.world;
  const std::string& rest = game.command.rest;
  if (rest.empty()) {
    SayLine("Soltar o que?"_text);
  } else if (const int object = ObjectNamed(world, rest, Carried); object == 0) {
    SayLine("Você não tem isto!"_text);
  } else {
    SayLine("Ok."_text);
    world.place[object] = world.room;
  }
}

void DoOpen(Game& game) {
  World& world = game.world;
  const std::string& rest = game.command.rest;
  if (rest.empty()) {
    SayLine("Abrir o que?"_text);
  } else if (rest == "GAVETA"_word) {
    OpenDrawer(world);
  } else if (rest == "CAIXA"_word) {
    OpenBox(world);
  } else if (rest == "BAÚ"_word) {
    OpenChest(world);
  } else if (rest == "PORTA"_word) {
    OpenDoor(world);
  } else {
    SayLine("Não tem nada assim por aqui."_text);
  }
}

void DoUnlock(Game& game) {
  World& world = game.world;
  const std::string& rest = game.command.rest;
  if (rest.empty()) {
    SayLine("Destrancar o que?"_text);
  } else if (rest != "PORTA"_word && rest != "BAÚ"_word && rest != "GRADE"_word && rest != "CAIXA"_word) {
    SayLine("Eu não vou destrancar nada aqui. "_text);
  } else if (rest == "PORTA"_word || rest == "CAIXA"_word) {
    SayLine("Você não precisa destrancar isto!"_text);
  } else {
    const bool grating = rest == "GRADE"_word;
    SayLine("Com o que?"_text);
    const std::string tool = ReadAnswer();
    if (grating) {
      UnlockGrating(world, tool);
    } else {
      UnlockChest(world, tool);
    }
  }
}

}  // namespace game
