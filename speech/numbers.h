#pragma once
// Spoken numbers, time and date: Portuguese number words and their recorded sounds played
// as one continuous recording.

#include <cstdint>
#include <string>
#include <string_view>

namespace speech {

// The Portuguese words for n (Windows-1252), separated by single spaces.
std::string NumberToWords(uint64_t n);
// Plays the recordings of the words as one sound; feminine turns a final "um" into "uma"
// and "dois" into "duas". Returns when the sound has ended or a key silenced it.
void SpeakWords(std::string_view words, bool feminine = false);
void SpeakHoursMinutes(int hours, int minutes);
void SpeakDayMonthYear(int day, int month, int year);
// The current time and date.
void SpeakTime();
void SpeakDate();
// Day of the week of a Gregorian date, 0 = Sunday.
int WeekdayOf(int day, int month, int year);

}  // namespace speech
