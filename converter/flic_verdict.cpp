// A FLIC file judged from what the frame decoder met while it decoded (or surveyed)
// the file: the frame count, the ring frame, the writers' quirks it read through and
// the first damage, in words. The checker, the facts and the export all say what this
// says.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "converter/export.h"
#include "flic/flic.h"
#include "gfx/gfx.h"

namespace {

constexpr size_t CHUNK_TYPES = 65536;

std::string plural(uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string chunk_words(const FlicPlace& at) {
  return "chunk " + std::to_string(at.chunk) + " (type " + std::to_string(at.chunk_type) + ")";
}

std::string damage_words(FlicDamage damage, const FlicPlace& at) {
  const std::string frame = "frame " + std::to_string(at.record) + ": ";
  switch (damage) {
    case FlicDamage::cut_off:
      return frame + "the file ends inside its record" + (at.chunk > 0 ? ", in " + chunk_words(at) : "");
    case FlicDamage::short_record:
      return frame + "its record's size is less than its 16-byte header";
    case FlicDamage::bad_chunk:
      return frame + chunk_words(at) + " has a size less than its 6-byte header";
    case FlicDamage::chunk_overrun:
      return frame + chunk_words(at) + " needs more data than its size and its record hold";
    case FlicDamage::chunk_past_record:
      return frame + chunk_words(at) + " runs past the end of its record";
    case FlicDamage::row_overrun:
      return frame + "a run-length row's packets run " + plural(at.amount, "pixel", "pixels") +
             " past the frame's width (shown clipped)";
    case FlicDamage::none:
      break;
  }
  return "";
}

}  // namespace

bool flic_survey_file(const std::string& name, FlicSurvey& survey, std::string& reason) {
  survey = FlicSurvey{};
  uint8_t header[FLIC_HEADER_SIZE];
  const int32_t checked = flic_check_header(name.c_str(), header);
  if (checked == -1) {
    reason = "cannot be opened";
    return false;
  }
  if (checked != 0) {
    reason = "not a FLIC file, or its header is cut short";
    return false;
  }
  survey.header = flic_header_facts(header);
  survey.chunk_counts.assign(CHUNK_TYPES, 0);
  FlicContext context{};
  if (flic_survey(name.c_str(), &context, survey.chunk_counts.data()) != 0) {
    reason = "cannot be opened as a FLIC file";
    return false;
  }
  survey.report = context.report;
  const int fd = gfx_open_file(name.c_str());
  if (fd >= 0) {
    struct stat st {};
    if (fstat(fd, &st) == 0) survey.file_size = static_cast<uint64_t>(st.st_size);
    close(fd);
  }
  return true;
}

FlicHeaderFacts flic_header_facts(const uint8_t* header) {
  FlicHeaderFacts facts{};
  facts.flc = gfx_le16(header + FLIC_MAGIC_OFFSET) == FLIC_MAGIC_FLC;
  facts.frame_count = gfx_le16(header + FLIC_FRAMES_OFFSET);
  facts.width = gfx_le16(header + FLIC_WIDTH_OFFSET);
  facts.height = gfx_le16(header + FLIC_HEIGHT_OFFSET);
  facts.speed = facts.flc ? gfx_le32(header + FLIC_SPEED_OFFSET) : gfx_le16(header + FLIC_SPEED_OFFSET);
  return facts;
}

FlicVerdict flic_verdict(const FlicReport& report, const FlicHeaderFacts& header) {
  const uint32_t header_frames = header.frame_count;
  const bool sized = header.width > 0 && header.height > 0;
  FlicVerdict v;
  v.records = static_cast<int32_t>(report.records);
  v.frames = static_cast<int32_t>(std::min(report.records, header_frames));
  v.ring_frame = header_frames > 0 && report.records > header_frames;
  if (report.quirks & FLIC_QUIRK_SHORT_CHUNK) {
    const FlicPlace& at = report.short_chunk;
    v.notes.push_back("frame " + std::to_string(at.record) + ": " + chunk_words(at) + " is " +
                      plural(at.amount, "byte", "bytes") +
                      " short of its data; the rest is in its record (read through)");
  }
  if (report.quirks & FLIC_QUIRK_LONG_LAST_RECORD) {
    const FlicPlace& at = report.long_record;
    v.notes.push_back("frame " + std::to_string(at.record) + ": its record's size runs " +
                      plural(at.amount, "byte", "bytes") +
                      " past the end of the file; all its chunks are whole (read through)");
  }
  if (report.damage != FlicDamage::none) {
    v.damage = damage_words(report.damage, report.damaged);
  } else if (!sized && report.records > 0) {
    v.damage = "its frames have no size (0 pixels wide or high)";
  } else if (report.at_end && report.records < header_frames) {
    v.damage = "holds " + plural(report.records, "frame", "frames") + "; its header gives " +
               std::to_string(header_frames);
  }
  if (v.damage.empty() && report.at_end && header_frames > 0 && report.records == header_frames)
    v.notes.push_back("no ring frame after the last frame");
  if (header.speed == 0)
    v.notes.push_back("the header gives no speed; played at " + std::to_string(FLIC_DEFAULT_SPEED) +
                      "/70 s a frame");
  return v;
}

void report_flic_verdict(const FlicVerdict& verdict) {
  report_fact("frames", std::to_string(verdict.frames));
  report_fact("ring frame", verdict.ring_frame ? "present" : "none");
  report_fact("records", std::to_string(verdict.records));
  for (const std::string& note : verdict.notes) report_note(note);
}
