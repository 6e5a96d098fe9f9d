#!/usr/bin/env python3
"""Writes a voice for profiling whole headless games: the translator's files, a diphone
database with every one- and two-letter unit, and a recording for every character code and
for the named sounds, all 11025 Hz 8-bit mono. Usage: profile_voice.py SOURCE_DATA OUT"""
import os
import shutil
import struct
import sys

source, out = sys.argv[1], sys.argv[2]
letters = os.path.join(out, "som", "letras")
diphones = os.path.join(out, "som", "difones")
os.makedirs(letters, exist_ok=True)
os.makedirs(diphones, exist_ok=True)
for name in ("regras.rgr", "portug.exc"):
    shutil.copy(os.path.join(source, name), diphones)


def wave(samples):
    data = bytes(samples)
    return (b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " +
            struct.pack("<IHHIIHH", 16, 1, 1, 11025, 11025, 1, 8) + b"data" +
            struct.pack("<I", len(data)) + data)


def buzz(length, seed):
    return [100 + ((i * 3 + seed) % 100) // 2 for i in range(length)]


names = ["_%d" % code for code in range(256)]
names += ["_" + w for w in ("APFCPO", "APICPO", "CPOAPA", "DEL", "FALACI", "FALDLG", "FON", "MENOS",
                            "TRACO", "VELOC", "de", "dois", "duas", "e", "hora", "horas", "minuto",
                            "minutos", "primeir", "s", "um", "uma", "zero")]
numbers = ("zero um dois tres quatro cinco seis sete oito nove dez onze doze treze quatorze quinze "
           "dezesseis dezeset dezoito dezenove vinte trinta quarenta cinquenta sessenta setenta "
           "oitenta noventa cem cento duzentos trezentos quatrocentos quinhentos seiscentos setecentos "
           "oitocentos novecentos mil milhao milhoes bilhao bilhoes trilhao trilhoes").split()
names += [("_" + w)[:8] for w in numbers]
names = sorted(set(names))
for n, name in enumerate(names):
    with open(os.path.join(letters, name + ".wav"), "wb") as f:
        f.write(wave(buzz(1500, n)))

phones = "AEIOUBCDFGJKLMNPQRSTVXZWYaeiouwy"
units = sorted({"$" + a for a in phones} | {"$" + a + b for a in phones for b in phones} |
               {"$ACIRC", "$ECIRC", "$OCIRC", "$nn", "$RR"}, key=lambda s: s.encode())
index, sound = b"", bytearray()
for n, unit in enumerate(units):
    length = 900 if len(unit) == 2 else 1400
    index += bytes([len(unit)]) + unit.encode().ljust(8, b"\0") + struct.pack("<HI", length, len(sound))
    sound += bytes(buzz(length, n))
with open(os.path.join(diphones, "PERFIL.IND"), "wb") as f:
    f.write(index)
with open(os.path.join(diphones, "PERFIL.DIF"), "wb") as f:
    f.write(sound)
with open(os.path.join(out, "TAMIRE.INI"), "w") as f:
    f.write("[TRADUTOR]\nDIRLETRAS=c:\\lorben\\som\\letras\\\nDIRDIFONES=c:\\lorben\\som\\difones\n"
            "VELOCIDADE=3\nSAPI=N\n[SINTETIZADOR]\n" +
            "".join("DIFONES%d=PERFIL\n" % r for r in range(1, 6)))
