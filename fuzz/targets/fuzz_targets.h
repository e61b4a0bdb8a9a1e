// Entry points of the fuzz targets. Each takes one input of any bytes, drives one parser of outside
// data with it and checks what must hold whatever the bytes are; a broken property aborts with a
// message on stderr (FuzzCheck), which libFuzzer reports as a crash. The return value is 0, as
// libFuzzer expects.
//
// The same functions are linked into the libFuzzer binaries (fuzz/*_fuzzer.cpp, clang only) and
// into the core test suite, which replays every corpus file through them (tests/fuzz_replay/).
//
// Files are written to a per-process scratch folder (scratch.h), never to the current directory.
#pragma once

#include <cstddef>
#include <cstdint>

// CDlgFile::Load on the input as a .dlg file; for half of the inputs once more with one allocation
// failing.
int FuzzLoad(const uint8_t* data, size_t size);

// CDlgFile::ReadItem and CDlgItemReader. Input: one byte k, then (k % 5) IDs of 4 bytes
// (little-endian), then the .dlg file. Besides those IDs a few fixed ones are asked for.
int FuzzReadItem(const uint8_t* data, size_t size);

// CDlgFile::Import of the input as a text file into a fixed small document. The first byte picks
// the document's multi-line option and whether one allocation fails; the rest is the file.
int FuzzImport(const uint8_t* data, size_t size);

// The configuration loader. The first byte picks the form: plain (the rest as the file), or
// scrambled (the rest scrambled by ScrambleIniText, so that mutations act on the content). Both
// forms of one content must load the same speakers.
int FuzzConfig(const uint8_t* data, size_t size);

// Builds a document from the input (roundtrip_builder.h), saves it, loads it back and compares,
// and reads every line through ReadItem.
int FuzzRoundTrip(const uint8_t* data, size_t size);

// The game-side runtime (parlatrix/runtime.h) on the input as a .dlg file, opened from memory: it
// opens exactly when VerifyDlgBytes finds no damage, and then answers every ID as the editor's
// record parser reads it.
int FuzzRuntime(const uint8_t* data, size_t size);

// The three-way merge of dialogue documents on a base and two edited versions of it, all derived
// from the input (merge_target.cpp describes how); the result is saved and checked when the first
// byte asks for it.
int FuzzMerge(const uint8_t* data, size_t size);

// The stored text form of git's filter: documents of raw byte strings render and parse back
// equal; whatever the parser accepts renders to a text that parses equal again.
int FuzzStoredText(const uint8_t* data, size_t size);

// The exchange readers on the input as a whole file of their format: accepted texts are clean
// UTF-8, the writer of the same format gives back what the reader read, and an import into a
// fixed small document applies or changes nothing (exchange_target.cpp).
int FuzzPo(const uint8_t* data, size_t size);
int FuzzXliff(const uint8_t* data, size_t size);
// The XLIFF reader on 2.0 inputs; what it accepts must come back the same through the 2.0 writer.
int FuzzXliff2(const uint8_t* data, size_t size);
int FuzzCsv(const uint8_t* data, size_t size);
// The XLSX reader on the input as a workbook (a zip archive): the same properties, the writer
// being our workbook writer into a scratch file.
int FuzzXlsx(const uint8_t* data, size_t size);
