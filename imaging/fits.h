// FITS images: the header record every camera, window and file shares, the
// in-memory pixel block, the file reader and the file writer.
//
// Pixel data in memory holds physical values (BZERO + BSCALE x stored, so
// BZero 0 and BScale 1 after loading) in the machine's byte order without
// gaps: plane after plane, row after row, and row 0 is the bottom row of
// the picture (the FITS order). Element (x, y, p) lies at index x + NAxis1 *
// y + NAxis1 * NAxis2 * p. The block is a whole number of 2880-byte FITS
// blocks, zero padded.
//
// Element type codes (BitPix in memory, SaveBitPix on saving):
//   8 unsigned byte, 16 unsigned 16-bit (written with BZERO 32768),
//   -16 save only: signed 16-bit written with BZERO 0, 32 signed 32-bit
//   integer, -32 single float, -64 double float.
#pragma once

#include <cstdint>
#include <cstdio>
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

namespace imaging {

// Size of one FITS block and one header card.
inline constexpr int64_t kFitsBlock = 2880;
inline constexpr int kFitsCard = 80;
// Largest accepted image side (exclusive) and pixel block.
inline constexpr int32_t kFitsMaxAxis = 16384;
inline constexpr int64_t kFitsMaxDataBytes = int64_t(1) << 31;
// Text fields of the header record keep at most this many characters.
inline constexpr std::size_t kFitsTextMax = 68;

struct TFitsHeader {
  bool Simple = false;
  int32_t BitPix = 0;      // element type in memory
  int32_t SaveBitPix = 0;  // element type written by SaveFitsHeader
  int32_t NAxis = 0;       // 2 monochrome, 3 colour planes
  int32_t NAxis1 = 0;      // pixels per row
  int32_t NAxis2 = 0;      // rows
  int32_t NAxis3 = 0;      // planes (1 or 3)
  bool Extend = false;
  double BScale = 1.0;
  double BZero = 0.0;
  double Background = 0.0;  // display black level, physical value
  double Range = 0.0;       // display range above the black level
  // Sizes of the pixel data, in 64 bits (see FitsComputeSizes).
  int64_t DataBits = 0;
  int64_t DataBytes = 0;
  int64_t DataBlocks = 0;
  std::string Comments[10];
  double ExposureTime = 0.0;  // seconds
  int32_t FocalLength = 0;
  int32_t ApertureDiameter = 0;  // mm
  std::string Mosaic;
  std::string Filter;
  std::string Instrument;
  double CcdTemperature = -999.0;  // degrees Celsius; -999 not measured
  std::string TimeObs;
  std::string DateObs;
  bool FlippedHorizontally = false;
  bool FlippedVertically = false;
  bool ReadError = false;  // an optional keyword failed to convert
};

// The pixel block (bytes in machine order, DataBlocks * 2880 long).
using FitsData = std::vector<uint8_t>;

// Bytes per element of a type code (0 for unknown codes).
int FitsElementBytes(int32_t bitPix);
// Number of planes the axes describe: NAxis3 when NAxis is 3, else 1.
int32_t FitsPlanes(const TFitsHeader& h);
// Sets DataBits, DataBytes and DataBlocks from BitPix and the axes. False
// (sizes set to 0) when an axis is outside 1..16383, the planes are not 1
// or 3, the type is unknown or the data would exceed kFitsMaxDataBytes.
bool FitsComputeSizes(TFitsHeader& h);

// A header for new data: SIMPLE, the element type for memory and saving,
// the axes (NAXIS 3 for 3 planes), BSCALE 1, no display range, sizes set.
TFitsHeader NewFitsHeader(int32_t bitPix, int32_t width, int32_t height, int32_t planes = 1);

// What the user is shown for a FITS file the reader refuses.
inline constexpr const char* kFitsNotValid = "Fits image is not valid";

// Raised by the reader for files that cannot be shown. what() is the text
// for the user: "Fits image is not valid", or what makes the file unusable
// ("BZERO = 1E300 cannot be applied to 16-bit data"); Reason() says for
// the log why the file was refused ("NAXIS = 0: ...", "no END card ...").
class EInvalidGraphic : public std::runtime_error {
 public:
  explicit EInvalidGraphic(const std::string& why = kFitsNotValid, const std::string& reason = "")
      : std::runtime_error(why), reason_(reason.empty() ? why : reason) {}
  // The refusal of a file that the user is told is not valid.
  static EInvalidGraphic Refused(const std::string& reason) { return EInvalidGraphic(kFitsNotValid, reason); }
  const std::string& Reason() const { return reason_; }

 private:
  std::string reason_;
};

// Reads a FITS file from the stream into `h` and `data`.
// Header blocks are read until the END card (the data starts at the next
// block boundary). Required: SIMPLE, BITPIX, NAXIS, NAXIS1, NAXIS2 (and
// NAXIS3 for NAXIS 3). Accepted: SIMPLE T, NAXIS 2, or NAXIS 3 with 1 or 3
// planes, sides 1..16383, BITPIX 8, 16, 32, -32 or -64. BSCALE and BZERO
// must be finite numbers whose scaling gives finite values in the
// in-memory type for every value the file's integer type can hold (for
// float data, every finite value it holds); otherwise the file is refused
// with EInvalidGraphic naming the keyword and its value as written. BSCALE
// 0 (every pixel BZERO) is read, with a `warning` saying so. The data are
// turned into physical values in the narrowest
// in-memory type that holds them: unsigned 8 or 16 bits (not narrower than
// the file's element), signed 32 bits, else single float for scaled 8- and
// 16-bit files and double float otherwise. BACKGRND, RANGE, MIPS-LO and
// MIPS-HI are physical values (as the writer stores them); one that is not
// a number, or a negative range, gives the default and sets ReadError.
// Results: true with data filled; false when the header is not accepted
// (`h` holds what was read, `data` empty, and `reason`, when given, says
// why: the keyword and its value). A header without END or a short data
// part raises EInvalidGraphic with `data` empty and the reason in Reason().
bool LoadFitsHeader(std::istream& in, TFitsHeader& h, FitsData& data, std::string* warning = nullptr,
                    std::string* reason = nullptr);

// Writes a complete FITS file in the element type SaveBitPix to an open
// file, as SaveFitsHeader does; false on a write error or a header it
// refuses.
bool WriteFits(std::FILE* f, TFitsHeader& h, const FitsData& data);

// Writes a complete FITS file in the element type SaveBitPix. Changes the
// caller's record (BZero for the 16-bit save types, the sizes), so callers
// pass a copy. Header blocks as many as the cards need, END last. False on
// any file error, on a data block shorter than the header asks for, or on
// unknown type codes; the file is written through a temporary file, so a
// failed save leaves an existing file as it was.
bool SaveFitsHeader(const std::string& fileName, TFitsHeader& h, const FitsData& data);

// One element value of a block by the in-memory type code (8, 16
// unsigned, 32 signed, -32, -64; other codes read 0). `i` is the element
// index.
double FitsValue(const uint8_t* data, int32_t bitPix, int64_t i);

// Formats of the observing date and time cards: "YYYY-MM-DD" and
// "HH:MM:SS.mmm" (zero filled).
std::string FitsDateText(int year, int month, int day);
std::string FitsTimeText(int hour, int minute, int second, int millisecond);

}  // namespace imaging
