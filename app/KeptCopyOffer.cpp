// The offer of the kept copies: the question about each copy, its words and its buttons by
// what is known of the copy and its file, and the choice carried out.
#include "app/KeptCopyOffer.h"

#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "app/FileCommands.h"
#include "app/MainFrame.h"
#include "app/UserPrompts.h"
#include "core/support/LogFile.h"
#include "core/system/System.h"
#include "platform/Archive.h"
#include "platform/AtomicFile.h"
#include "platform/File.h"
#include "platform/TextFormat.h"

namespace {

// A file time (ns since the epoch) in local time, as the log stamps its lines.
std::string LocalTimeText(std::int64_t ns) {
  const std::time_t seconds = std::time_t(ns / 1000000000);
  std::tm local{};
  localtime_r(&seconds, &local);
  return CLogFile::FormatTime(local);
}

// Whether the system file at path opens, read into a system of its own that tells nobody.
bool SystemFileOpens(const std::string& path) {
  CSystem probe;
  return probe.File().OpenFile(path);
}

// Whether a file is judged as a system file, by its name: the other files that saves keep
// copies of (the image library, presets, the log) are not read to judge them.
bool IsSystemFileName(const std::string& path) {
  const std::string name = CFileCommands::FileNameOf(path);
  const std::size_t n = std::strlen(CFileCommands::kExtension) + 1;
  if (name.size() <= n || name[name.size() - n] != '.') return false;
  return QString::fromStdString(name.substr(name.size() - n + 1))
             .compare(CFileCommands::kExtension, Qt::CaseInsensitive) == 0;
}

// Whether the earlier bytes a kept copy holds open as a system, read as they stand now.
bool KeptCopyOpens(const CKeptCopy& kept) {
  std::vector<std::uint8_t> bytes;
  if (!ReadKeptCopyBytes(kept, bytes)) return false;
  CSystem probe;
  CArchive ar(std::move(bytes));
  return probe.File().Serialize(ar);
}

// The question about a kept copy: its words, its buttons, and which of them Enter presses.
struct CKeptCopyQuestion {
  enum class Choice { PutBack, SaveAs, Delete, Keep };
  std::string text;
  std::vector<Choice> choices;
  Choice byDefault = Choice::Keep;
};

// What is known of a copy and its file as it is asked about.
struct CKeptCopyFacts {
  bool opens = false;         // the file opens (a file of another kind counts as one that does not)
  bool systemFile = false;    // the file is judged as a system file
  bool writtenSince = false;  // the file was written after the copy's save, cut short, stopped
  bool putBackFits = false;   // the file is a system file that does not open, or the save's own leftover
  bool copyOpens = true;      // the copy's earlier bytes open (looked at only where Put Back fits)
  std::size_t place = 1;      // among the copies of its file, newest first
  std::size_t count = 1;
};

// What a damaged copy is, and why it is not put back.
std::string DamageText(const CKeptCopy& kept) {
  const std::string named = kept.file.empty() ? "no file whose name can be read" : kept.file;
  switch (kept.damage) {
    case EKeptCopyDamage::Bytes:
      return "A copy of " + kept.file + " that a save which did not finish kept in\n" + kept.copy +
             "\nis damaged: its bytes no longer match their check word, so it is not put back over the file.";
    case EKeptCopyDamage::Start:
      return "A copy that a save which did not finish kept in\n" + kept.copy +
             "\nis damaged at its start, where it names its file: that no longer matches its check word, so it "
             "is not put back. It names " +
             named + "; the earlier bytes it holds are whole.";
    case EKeptCopyDamage::Name: {
      std::error_code ec;
      const bool folderThere = std::filesystem::is_directory(std::filesystem::path(kept.file).parent_path(), ec);
      return "A copy that an earlier version of the program kept in\n" + kept.copy + "\nnames the file " + named +
             (folderThere ? ", which is not the file its own name gives" : ", in a folder that is not there") +
             ". No check word covers that name in a copy of an earlier version, so it may be damaged, and the copy "
             "is not put back; the earlier bytes it holds are whole.";
    }
    case EKeptCopyDamage::Unreadable:
      return "A copy that a save which did not finish kept in\n" + kept.copy +
             "\nis damaged at its start: neither the file it names (" + named +
             ") nor where its earlier bytes lie can be trusted, so it is not put back.";
    case EKeptCopyDamage::Form:
      return "The file\n" + kept.copy +
             "\nin the folder of the kept copies is in a form this version of the program does not read: a later "
             "version made it, or it is damaged at its start. It is not put back, and nothing changes it but "
             "your choice.";
    case EKeptCopyDamage::None: break;
  }
  return {};
}

// Tells the state of the copy, of the save that left it and of its file, and offers what fits.
// Enter puts the copy back only where its earlier bytes open (or are not judged) and the file
// is a system file that does not open, or is what the copy's own save left when it was cut
// short (the file may hold part of that save); never over a file that opens and was written
// after that save stopped, nor from a copy that does not open. A damaged copy is never put
// back, and none where its file's folder is gone. untilSaved: Keep leaves the copy until the
// file is next saved, else until the next start.
CKeptCopyQuestion AskAboutKeptCopy(const CKeptCopy& kept, const CKeptCopyFacts& facts, bool untilSaved) {
  using Choice = CKeptCopyQuestion::Choice;
  const bool opens = facts.opens;
  const bool damaged = kept.damage != EKeptCopyDamage::None;
  const std::string folder = kept.file.substr(0, kept.file.find_last_of('/'));
  const bool folderGone = !damaged && !kept.fileChangedAt && !QFileInfo(QString::fromStdString(folder)).isDir();
  const bool replaced = kept.save == EKeptCopySave::Replaced;
  std::string keptIn = "\n\nThe file as it was before that " + std::string(replaced ? "Put Back" : "save") +
                       " is kept in\n" + kept.copy + "\n(copied at " + LocalTimeText(kept.keptAt) + ").";
  if (!damaged && !facts.copyOpens) keptIn += " The kept file does not open.";
  if (facts.count > 1)
    keptIn += FormatText("\nIt is copy %zu of %zu kept of this file, offered newest first.", facts.place, facts.count);
  const std::string written = kept.fileChangedAt ? LocalTimeText(*kept.fileChangedAt) : std::string();
  const std::string doesNotOpen = opens ? "" : " It does not open now.";
  const std::string opensNow = opens ? "opens" : "does not open now";
  CKeptCopyQuestion q;
  q.byDefault = facts.putBackFits && facts.copyOpens ? Choice::PutBack : Choice::Keep;
  if (damaged) {
    q.text = DamageText(kept);
    q.byDefault = Choice::Keep;
  } else if (folderGone) {
    q.text = "A save of " + kept.file + " did not finish, and the folder " + folder +
             " is no longer there to put the file back in." + keptIn;
    q.byDefault = Choice::SaveAs;
  } else if (!kept.fileChangedAt) {
    q.text = (replaced ? "A kept copy was put back over " + kept.file + ", which is no longer there."
                       : "A save of " + kept.file + " did not finish, and the file is no longer there.") +
             keptIn;
    q.byDefault = Choice::PutBack;
  } else if (kept.save == EKeptCopySave::CutShort && !facts.writtenSince) {
    q.text = "A save of " + kept.file + " did not finish: the program stopped while it wrote the file, which " +
             (opens ? "opens, but may hold part of that save's bytes over its earlier ones." : "does not open now.") +
             keptIn;
  } else if (kept.save == EKeptCopySave::CutShort) {
    q.text = "A save of " + kept.file + " did not finish, and the file has been written since that save stopped, "
             "at " + written + "; it " + opensNow + "." + keptIn;
  } else if (kept.save == EKeptCopySave::SavedOver) {
    q.text = "A save of " + kept.file + " did not finish, but the file has been saved whole since by a save that "
             "did not know of this copy; it was last written at " + written + "." + doesNotOpen + keptIn;
  } else if (kept.save == EKeptCopySave::Finished) {
    q.text = "A save of " + kept.file + " reached the disk, but the program stopped before it removed the copy of "
             "the file's earlier bytes." +
             (*kept.fileChangedAt > kept.markedAt ? " The file has been written again since, at " + written + "." : "") +
             doesNotOpen + keptIn;
  } else if (replaced) {
    q.text = "A kept copy was put back over " + kept.file + ", and this copy holds what the file held before. The "
             "file " + opensNow + ", and was last written at " + written + "." + keptIn;
  } else if (kept.save == EKeptCopySave::MarkDamaged) {
    // This version's copy: only its mark, which no check word covers, says nothing known.
    q.text = "A save of " + kept.file + " kept this copy of the file's earlier bytes, but the copy's mark of how "
             "that save ended is damaged (or a later version's), so whether it wrote the file whole is not known. "
             "The file " + opensNow + ", and was last written at " + written + "." + keptIn;
  } else if (!opens) {
    q.text = "A save of " + kept.file +
             " did not finish: the program stopped while it wrote the file, which does not open now." + keptIn;
  } else {
    // An earlier version's copy does not tell whether its save reached the disk.
    q.text = "A save of " + kept.file + " did not finish. The file opens, and was last written at " + written + ", " +
             (*kept.fileChangedAt >= kept.keptAt ? "after" : "before") +
             " the copy of its earlier bytes was made; whether that save wrote it whole, the copy (made by an "
             "earlier version) does not tell." +
             keptIn;
  }
  q.text += "\n\n";
  if (!damaged && !folderGone) {
    q.choices.push_back(Choice::PutBack);
    q.text += kept.fileChangedAt ? "Put Back writes the kept file over the file and keeps the file as it is now as "
                                   "another copy; "
                                 : "Put Back writes the kept file where the file was; ";
  }
  q.choices.insert(q.choices.end(), {Choice::SaveAs, Choice::Delete, Choice::Keep});
  switch (kept.damage) {
    case EKeptCopyDamage::None: q.text += "Save As... puts it back under another name; "; break;
    case EKeptCopyDamage::Start:
    case EKeptCopyDamage::Name: q.text += "Save As... puts its earlier bytes back under another name; "; break;
    case EKeptCopyDamage::Form: q.text += "Save As... writes it as it is under another name, to be looked at; "; break;
    default: q.text += "Save As... writes what it holds under another name, to be looked at; "; break;
  }
  q.text += "Delete removes it; Keep leaves it where it is";
  q.text += untilSaved && !damaged ? " until this file is saved again." : " and asks again at the next start.";
  return q;
}

const char* ChoiceWords(CKeptCopyQuestion::Choice choice) {
  switch (choice) {
    case CKeptCopyQuestion::Choice::PutBack: return "Put Back";
    case CKeptCopyQuestion::Choice::SaveAs: return "Save As...";
    case CKeptCopyQuestion::Choice::Delete: return "Delete";
    case CKeptCopyQuestion::Choice::Keep: break;
  }
  return "Keep";
}

// The copies of each file together, newest first; the files by name.
std::vector<std::vector<CKeptCopy>> CopiesByFile(std::vector<CKeptCopy> found) {
  std::stable_sort(found.begin(), found.end(), [](const CKeptCopy& a, const CKeptCopy& b) {
    return a.file != b.file ? a.file < b.file : a.keptAt > b.keptAt;
  });
  std::vector<std::vector<CKeptCopy>> files;
  for (CKeptCopy& kept : found) {
    if (files.empty() || kept.file.empty() || files.back().front().file.empty() ||
        !IsSameFile(files.back().front().file, kept.file))
      files.emplace_back();
    files.back().push_back(std::move(kept));
  }
  for (std::vector<CKeptCopy>& copies : files)
    std::stable_sort(copies.begin(), copies.end(), [](const CKeptCopy& a, const CKeptCopy& b) { return a.keptAt > b.keptAt; });
  return files;
}

}  // namespace
bool CKeptCopyOffer::OfferKeptCopy(const CKeptCopy& kept, std::optional<bool> opens, bool untilSaved, std::size_t place,
                               std::size_t count) {
  using Choice = CKeptCopyQuestion::Choice;
  const bool sound = kept.damage == EKeptCopyDamage::None;
  CKeptCopyFacts facts;
  facts.place = place;
  facts.count = count;
  facts.systemFile = IsSystemFileName(kept.file);
  if (!opens) opens = kept.fileChangedAt && sound && facts.systemFile && SystemFileOpens(kept.file);
  facts.opens = *opens;
  facts.writtenSince = kept.save == EKeptCopySave::CutShort && kept.fileChangedAt && *kept.fileChangedAt > kept.markedAt;
  facts.putBackFits = sound && kept.fileChangedAt &&
                      ((facts.systemFile && !facts.opens) || (kept.save == EKeptCopySave::CutShort && !facts.writtenSince));
  // The copy is read only where Enter might put it back.
  if (facts.putBackFits && facts.systemFile) facts.copyOpens = KeptCopyOpens(kept);
  const CKeptCopyQuestion q = AskAboutKeptCopy(kept, facts, untilSaved);
  std::vector<std::string> buttons;
  for (const Choice choice : q.choices) buttons.emplace_back(ChoiceWords(choice));
  const auto indexOf = [&q](Choice choice) {
    return std::size_t(std::find(q.choices.begin(), q.choices.end(), choice) - q.choices.begin());
  };
  const std::string caption = CMainFrame::ProductName().toStdString();
  const auto icon = q.byDefault == Choice::Keep ? IUserPrompts::Icon::Question : IUserPrompts::Icon::Warning;
  // A choice that could not take effect is told, and asked again; a copy that another
  // instance put back or removed meanwhile is asked about no more.
  const auto failed = [&](const std::string& what, const std::string& error) {
    if (!KeptCopyIsThere(kept)) {
      m_frame.Prompts().ShowMessage(caption,
                            "The kept copy\n" + kept.copy +
                                "\nis no longer there: another instance of the program has put it back, saved it "
                                "elsewhere or deleted it since it was offered here.",
                            IUserPrompts::Icon::Information);
      return true;
    }
    m_frame.Prompts().ShowMessage(caption, what + error + "\nIt stays in " + kept.copy + ", and is asked about again.",
                          IUserPrompts::Icon::Exclamation);
    return false;
  };
  // Save As starts in the folder of the copy's file, with its name; where that folder is gone,
  // or the copy names no file, where the Save As of an untitled system starts.
  const auto saveAsStart = [&] {
    const std::string untitled = m_frame.m_files->FileDialogStart(false);
    if (kept.file.empty()) return untitled;
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::path(kept.file).parent_path(), ec)) return kept.file;
    return untitled.substr(0, untitled.size() - std::strlen(CFileCommands::kInitialName)) +
           CFileCommands::FileNameOf(kept.file);
  };
  // Asked again after a way back that failed, or a name not given: the copy goes only by a
  // choice that took effect.
  for (;;) {
    std::string error, destination;
    const std::size_t chosen =
        m_frame.Prompts().AskChoice(caption, q.text, icon, buttons, indexOf(q.byDefault), indexOf(Choice::Keep));
    switch (q.choices.at(chosen)) {
      case Choice::PutBack:
        if (PutKeptCopyBack(kept, &error)) return true;
        // Gone: the file may be another now, and is read again.
        if (failed("The kept file could not be put back: ", error)) return true;
        break;
      case Choice::SaveAs:
        if (!m_frame.m_files->ChooseSystemFileToSave(saveAsStart(), destination)) break;
        if (SaveKeptCopyAs(kept, destination, &error)) return false;
        if (failed("The kept file could not be saved as " + destination + ": ", error)) return false;
        break;
      case Choice::Delete:
        if (DiscardKeptCopy(kept, &error) || failed("", error)) return false;
        break;
      case Choice::Keep:
        if (SetKeptCopyAside(kept, &error) || failed("", error)) return false;
        break;
    }
  }
}

bool CKeptCopyOffer::OfferKeptCopies(const std::string& path) {
  bool putBack = false;
  for (const std::vector<CKeptCopy>& copies : CopiesByFile(FindKeptCopies(path))) {
    for (std::size_t i = 0; i < copies.size(); ++i) {
      // Each after the first is looked at again: a Put Back of a newer one changed the file,
      // and the copy may have gone with nothing lost.
      const std::optional<CKeptCopy> kept = i == 0 ? copies[0] : FindKeptCopyAt(copies[i].copy);
      if (kept) putBack = OfferKeptCopy(*kept, std::nullopt, false, i + 1, copies.size()) || putBack;
    }
  }
  return putBack;
}

bool CKeptCopyOffer::TellOfKeptCopies(const std::string& path, bool opened, std::vector<CKeptCopy>& told) {
  std::vector<CKeptCopy> copies;
  for (std::vector<CKeptCopy>& file : CopiesByFile(FindKeptCopies(path)))
    copies.insert(copies.end(), file.begin(), file.end());
  for (std::size_t i = 0; i < copies.size(); ++i) {
    const CKeptCopy& kept = copies[i];
    if (kept.damage != EKeptCopyDamage::None) {
      // Never put back nor retired by a save: asked about until the person chooses.
      if (OfferKeptCopy(kept, opened, false, i + 1, copies.size())) return true;
      continue;
    }
    if (kept.save == EKeptCopySave::Replaced && kept.known && opened) {
      // Made by a Put Back here, whose question said so: it goes with the file's next save.
    } else if (!kept.setAside || !opened) {
      // Not asked about yet (made since the start, or by another instance), or wanted now.
      if (OfferKeptCopy(kept, opened, opened, i + 1, copies.size())) return true;  // the rest wait: the file is another now
    } else {
      const std::string before = kept.save == EKeptCopySave::Finished
                                     ? "a save that reached the disk (the program stopped before it removed the copy)"
                                 : kept.save == EKeptCopySave::Replaced ? "a kept copy was put back over it"
                                                                        : "a save that did not finish";
      m_frame.Prompts().ShowMessage(CMainFrame::ProductName().toStdString(),
                            "A copy of " + kept.file + " as it was before " + before + " is kept in\n" + kept.copy +
                                "\n(copied at " + LocalTimeText(kept.keptAt) +
                                ").\n\nIt goes when this file is saved again; until then it is offered back at each "
                                "start.",
                            IUserPrompts::Icon::Information);
    }
    told.push_back(kept);
  }
  return false;
}
