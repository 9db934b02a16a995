// The 25 sound effects (mono, for the 3D voices) and the two pieces of stage music (stereo,
// seamless loops: every note is written around a ring the length of the piece, so whatever rings
// past the last bar sounds under the first).
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "assetgen.h"
#include "noise.h"
#include "synth.h"

namespace assetgen {

namespace {

constexpr double kTau = 6.283185307179586;
constexpr int kEffectRate = 22050;
constexpr int kMusicRate = 44100;

// --- effects ---------------------------------------------------------------------------------

CWave Blank(double seconds) { return CWave(kEffectRate, 1, static_cast<size_t>(seconds * kEffectRate)); }

// A tone gliding exponentially from f0 to f1, with `harmonics` odd overtones for colour.
void Glide(CWave& w, double start, double length, double f0, double f1, float level, int harmonics = 1,
           double attack = 0.005, double release = 0.06) {
  double phase = 0.0;
  const size_t a = static_cast<size_t>(start * w.rate), n = static_cast<size_t>(length * w.rate);
  for (size_t i = 0; i < n && a + i < w.samples.size(); ++i) {
    const double t = static_cast<double>(i) / w.rate;
    const double f = f0 * std::pow(f1 / f0, t / length);
    phase += kTau * f / w.rate;
    double v = 0.0;
    for (int h = 0; h < harmonics; ++h) v += std::sin(phase * (2 * h + 1)) / (2 * h + 1);
    const float env = Adsr(t, length - release, attack, length * 0.3, 0.7f, release);
    w.samples[a + i] += level * env * static_cast<float>(v);
  }
}

// A struck bell: a few inharmonic partials, each dying away at its own rate.
void Bell(CWave& w, double start, double freq, float level, double decay) {
  static const double ratios[] = {1.0, 2.0, 2.76, 4.07, 5.4};
  static const float gains[] = {1.0f, 0.5f, 0.3f, 0.15f, 0.08f};
  const size_t a = static_cast<size_t>(start * w.rate);
  for (size_t i = a; i < w.Frames(); ++i) {
    const double t = static_cast<double>(i - a) / w.rate;
    double v = 0.0;
    for (int p = 0; p < 5; ++p)
      v += gains[p] * std::sin(kTau * freq * ratios[p] * t) * std::exp(-t * (1.0 + p) / decay);
    const double click = std::min(1.0, t / 0.002);
    w.samples[i] += level * static_cast<float>(v * click);
  }
}

// Band of noise: low-passed white noise under an envelope that rises and falls.
void Whoosh(CWave& w, double start, double length, double cutoff0, double cutoff1, float level,
            uint64_t seed) {
  CRandom rnd(seed);
  double y = 0.0, y2 = 0.0;
  const size_t a = static_cast<size_t>(start * w.rate), n = static_cast<size_t>(length * w.rate);
  for (size_t i = 0; i < n && a + i < w.samples.size(); ++i) {
    const double t = static_cast<double>(i) / static_cast<double>(n);
    const double cutoff = cutoff0 + (cutoff1 - cutoff0) * t;
    const double k = 1.0 - std::exp(-kTau * cutoff / w.rate);
    y += k * (rnd.Range(-1, 1) - y);
    y2 += k * (y - y2);
    const double env = std::sin(3.14159265358979 * t);
    w.samples[a + i] += level * static_cast<float>(y2 * env * env);
  }
}

// A thud: a low sine falling in pitch, with a muffled knock on top.
CWave Thud() {
  CWave w = Blank(0.35);
  double phase = 0.0;
  for (size_t i = 0; i < w.Frames(); ++i) {
    const double t = static_cast<double>(i) / w.rate;
    phase += kTau * (42.0 + 70.0 * std::exp(-t * 22.0)) / w.rate;
    w.samples[i] += static_cast<float>(std::sin(phase) * std::exp(-t * 14.0) * std::min(1.0, t / 0.003));
  }
  CWave knock = Blank(0.35);
  Whoosh(knock, 0.0, 0.06, 900, 300, 1.6f, 77);
  LowPass(knock, 700);
  for (size_t i = 0; i < w.Frames(); ++i) w.samples[i] += knock.samples[i];
  return w;
}

CWave Effect(int number) {
  switch (number) {
    case 1: {  // confirm / running jump: an upward whoosh with a bright blip
      CWave w = Blank(0.3);
      Whoosh(w, 0.0, 0.22, 400, 3500, 0.9f, 11);
      Glide(w, 0.02, 0.16, 520, 1560, 0.5f, 2);
      Glide(w, 0.15, 0.12, 1560, 1760, 0.35f, 1);
      return w;
    }
    case 2:
      return Thud();  // landing
    case 8: {         // the chime: a rising major arpeggio of bells
      CWave w = Blank(1.8);
      Bell(w, 0.00, MidiToHz(84), 0.45f, 0.5);   // C6
      Bell(w, 0.12, MidiToHz(88), 0.40f, 0.5);   // E6
      Bell(w, 0.24, MidiToHz(91), 0.40f, 0.55);  // G6
      Bell(w, 0.36, MidiToHz(96), 0.35f, 0.7);   // C7
      return w;
    }
    case 20: {  // look on: a soft rising pair
      CWave w = Blank(0.45);
      Glide(w, 0.0, 0.40, 440, 740, 0.6f, 1, 0.06, 0.2);
      Glide(w, 0.05, 0.35, 660, 1110, 0.25f, 1, 0.06, 0.2);
      return w;
    }
    case 21: {  // look off: the same pair falling
      CWave w = Blank(0.45);
      Glide(w, 0.0, 0.40, 740, 440, 0.6f, 1, 0.06, 0.2);
      Glide(w, 0.05, 0.35, 1110, 660, 0.25f, 1, 0.06, 0.2);
      return w;
    }
    case 24: {  // standing jump: a springy rising hop
      CWave w = Blank(0.3);
      Glide(w, 0.0, 0.22, 260, 880, 0.7f, 3, 0.004, 0.08);
      Whoosh(w, 0.0, 0.18, 300, 2000, 0.35f, 24);
      return w;
    }
    default:
      break;
  }
  // Effects nobody plays yet: short tones, each its own pitch and shape, so they are told apart.
  static const int pentatonic[] = {0, 2, 4, 7, 9};
  const int note = 60 + 12 * (number % 3) + pentatonic[number % 5];
  CWave w = Blank(0.22 + 0.02 * (number % 4));
  const double f = MidiToHz(note);
  switch (number % 4) {
    case 0:
      Glide(w, 0.0, 0.2, f, f, 0.6f, 1);
      break;
    case 1:
      Glide(w, 0.0, 0.2, f, f * 1.5, 0.5f, 3);
      break;
    case 2:
      Bell(w, 0.0, f, 0.5f, 0.12);
      break;
    default:
      Glide(w, 0.0, 0.2, f * 1.5, f, 0.5f, 2);
      break;
  }
  return w;
}

// --- music -----------------------------------------------------------------------------------

// A loop of whole bars; notes are added around the ring.
class CRing {
 public:
  CRing(int bpm, int bars) : framesPerBeat_(kMusicRate * 60 / bpm), wave_(kMusicRate, 2, 0) {
    wave_.samples.assign(static_cast<size_t>(framesPerBeat_) * 4 * bars * 2, 0.0f);
  }
  double Beat() const { return static_cast<double>(framesPerBeat_) / kMusicRate; }
  size_t Frames() const { return wave_.Frames(); }
  // Adds voice(t) from beat `at` for `seconds`, panned (-1 left .. 1 right).
  template <typename Voice>
  void Add(double at, double seconds, float pan, Voice&& voice) {
    const size_t start = static_cast<size_t>(at * framesPerBeat_ + 0.5),
                 n = static_cast<size_t>(seconds * kMusicRate);
    const float left = std::sqrt(0.5f * (1.0f - pan)), right = std::sqrt(0.5f * (1.0f + pan));
    const size_t frames = Frames();
    for (size_t i = 0; i < n; ++i) {
      const float v = voice(static_cast<double>(i) / kMusicRate);
      const size_t f = (start + i) % frames;
      wave_.samples[2 * f] += v * left;
      wave_.samples[2 * f + 1] += v * right;
    }
  }
  CWave& Wave() { return wave_; }

 private:
  int framesPerBeat_;
  CWave wave_;
};

struct Note {
  double beat;
  double beats;
  int midi;
};

// "E5:2 G5:2 r:4 ..." in eighths from beat `from`; sharps as "G#4".
std::vector<Note> ParseMelody(const std::string& text, double from) {
  static const int base[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  std::vector<Note> notes;
  double beat = from;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    if (i >= text.size()) break;
    const size_t colon = text.find(':', i);
    const size_t end = std::min(text.find(' ', colon), text.size());
    const std::string name = text.substr(i, colon - i);
    const double beats = std::stoi(text.substr(colon + 1, end - colon - 1)) * 0.5;
    if (name != "r") {
      int semis = base[name[0] - 'A'];
      size_t k = 1;
      if (name[k] == '#') semis += 1, ++k;
      const int octave = name[k] - '0';
      notes.push_back({beat, beats, 12 * (octave + 1) + semis});
    }
    beat += beats;
    i = end;
  }
  return notes;
}

struct Piece {
  int bpm;
  std::vector<std::vector<int>> chords;  // one per bar, MIDI notes of the triad (octave 4)
  std::string melody;
  float brightness;  // how much overtone the lead carries
};

// Soft lead: sine with a touch of its octave and a slow vibrato.
float Lead(double t, double f, double hold, float bright) {
  const double vib = 1.0 + 0.004 * Sine(5.0 * t) * std::min(1.0, t / 0.3);
  const double c = f * vib * t;
  const double v = Sine(c) + bright * 0.3 * Sine(2 * c) + bright * 0.1 * Sine(3 * c);
  return static_cast<float>(v) * Adsr(t, hold, 0.03, 0.2, 0.75f, 0.35);
}

float Pad(double t, double f, double hold) {
  const double v = Sine(f * t) + Sine(f * 1.003 * t) + 0.3 * Sine(f * 2.001 * t);
  return static_cast<float>(v) * Adsr(t, hold, 0.5, 0.5, 0.8f, 0.9);
}

float Bass(double t, double f, double hold) {
  const double c = f * t;
  const double v = Sine(c) + 0.25 * Sine(2 * c) * std::exp(-t * 6.0);
  return static_cast<float>(v) * Adsr(t, hold, 0.008, 0.25, 0.6f, 0.15);
}

float Pluck(double t, double f) {
  const double c = f * t;
  return static_cast<float>((Sine(c) + 0.2 * Sine(3 * c)) * std::exp(-t * 7.0) * std::min(1.0, t / 0.003));
}

CWave Music(const Piece& piece) {
  const int bars = static_cast<int>(piece.chords.size());
  CRing ring(piece.bpm, bars);
  const double beat = ring.Beat();
  for (int bar = 0; bar < bars; ++bar) {
    const std::vector<int>& ch = piece.chords[bar];
    const double at = bar * 4.0;
    // Pad: the triad held through the bar, spread across the stereo field.
    for (size_t k = 0; k < ch.size(); ++k) {
      const double f = MidiToHz(ch[k]);
      const float pan = -0.6f + 0.6f * static_cast<float>(k);
      ring.Add(at, 4 * beat + 1.0, pan, [&](double t) { return 0.05f * Pad(t, f, 4 * beat); });
    }
    // Bass: root on beat 1, fifth on beat 3.
    const double root = MidiToHz(ch[0] - 24), fifth = MidiToHz(ch[0] - 24 + 7);
    ring.Add(at, 2 * beat + 0.2, 0.0f, [&](double t) { return 0.16f * Bass(t, root, 1.7 * beat); });
    ring.Add(at + 2, 2 * beat + 0.2, 0.0f, [&](double t) { return 0.13f * Bass(t, fifth, 1.7 * beat); });
    // Arpeggio in eighths over the chord, quietly to the right.
    static const int pattern[] = {0, 1, 2, 1, 0, 1, 2, 1};
    for (int e = 0; e < 8; ++e) {
      const double f = MidiToHz(ch[pattern[e]] + 12);
      ring.Add(at + e * 0.5, 0.6, 0.45f, [&](double t) { return 0.045f * Pluck(t, f); });
    }
  }
  for (const Note& n : ParseMelody(piece.melody, 0.0)) {
    const double f = MidiToHz(n.midi), hold = n.beats * beat * 0.92;
    ring.Add(n.beat, hold + 0.4, -0.1f, [&](double t) { return 0.16f * Lead(t, f, hold, piece.brightness); });
    // A soft echo three eighths later, on the other side.
    ring.Add(n.beat + 1.5, hold + 0.4, 0.5f,
             [&](double t) { return 0.05f * Lead(t, f, hold, piece.brightness); });
  }
  CWave w = std::move(ring.Wave());
  Normalise(w, 0.7f);
  return w;
}

Piece HomePiece() {
  const std::vector<int> C = {60, 64, 67}, Am = {57, 60, 64}, F = {53, 57, 60}, G = {55, 59, 62};
  Piece p;
  p.bpm = 105;  // 25200 frames a beat at 44.1 kHz: bars meet on whole frames
  for (int r = 0; r < 4; ++r) p.chords.insert(p.chords.end(), {C, Am, F, G});
  p.melody =
      "E5:2 G5:2 C6:3 B5:1 A5:4 E5:4 F5:2 A5:2 C6:2 A5:2 G5:6 r:2 "
      "E5:2 G5:2 C6:3 D6:1 E6:4 C6:4 A5:2 C6:2 B5:2 A5:2 G5:4 D5:4 "
      "C6:2 B5:2 A5:2 G5:2 A5:3 G5:1 E5:4 F5:2 E5:2 D5:2 F5:2 D5:4 G5:4 "
      "E5:2 G5:2 C6:3 B5:1 A5:4 C6:4 A5:2 G5:2 F5:2 D5:2 G5:3 F5:1 D5:2 B4:2";
  p.brightness = 1.0f;
  return p;
}

Piece ForestPiece() {
  const std::vector<int> Am = {57, 60, 64}, F = {53, 57, 60}, C = {60, 64, 67}, G = {55, 59, 62},
                         Em = {52, 55, 59}, E = {52, 56, 59};
  Piece p;
  p.bpm = 84;  // 31500 frames a beat
  for (int r = 0; r < 2; ++r) p.chords.insert(p.chords.end(), {Am, F, C, G, Am, Em, F, E});
  p.melody =
      "A4:4 C5:2 E5:2 F5:6 E5:2 G5:4 E5:2 C5:2 D5:8 "
      "A4:2 C5:2 E5:2 A5:2 G5:4 E5:4 F5:2 E5:2 D5:2 C5:2 B4:6 G#4:2 "
      "E5:4 A5:4 C6:4 A5:2 F5:2 G5:3 E5:1 C5:4 D5:4 B4:4 "
      "C5:2 E5:2 A5:4 B5:4 G5:4 A5:2 G5:2 F5:2 D5:2 E5:4 G#4:2 B4:2";
  p.brightness = 0.4f;
  return p;
}

}  // namespace

bool GenerateSounds(const COutput& out) {
  for (int n = 0; n < 25; ++n) {
    CWave w = Effect(n);
    Normalise(w, 0.8f);
    FadeEdges(w, 0.004f);
    char name[32];
    std::snprintf(name, sizeof name, "data/wav/SE%03d.wav", n + 1);
    if (!WriteWav(out, name, w)) return false;
  }
  return WriteWav(out, "data/wav/bgm_home.wav", Music(HomePiece())) &&
         WriteWav(out, "data/wav/bgm_forest.wav", Music(ForestPiece()));
}

}  // namespace assetgen
