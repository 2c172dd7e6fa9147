// The comms worker's choice of the next request: turns, rests, late answers, requests aside.
#include "core/comms/PollPlan.h"

#include <algorithm>

void CPollPlan::OnStart(std::int64_t nowUs, std::uint32_t maxSilentSends) {
  m_startUs = nowUs;
  m_sends = maxSilentSends == 0 ? CControlMessage::kMaxSends : std::min(maxSilentSends, CControlMessage::kMaxSends);
}

void CPollPlan::Reset() {
  m_turn = 0;
  m_startUs = 0;
  m_lastAnswerUs = 0;
  m_silentStreak = 0;
  m_silent.clear();
  m_aside.clear();
  m_lateSeenUs.clear();
}

std::int32_t CPollPlan::Next(const std::vector<PollUnit>& units, IPollSource& source, CControlMessage& record,
                             std::int64_t nowUs) {
  const std::size_t count = units.size();
  if (count == 0) return -1;
  if (m_turn >= count) m_turn = 0;
  ForgetUnitsGone(units);
  const std::size_t first = m_turn;
  // A unit counting down after a miss goes before the others once its pace is due; the turn
  // stays where it was.
  if (const std::int32_t overdue = OverdueAtItsPace(units, source, nowUs); overdue >= 0) {
    if (Take(units[std::size_t(overdue)], std::size_t(overdue), source, record, nowUs)) {
      m_turn = (first + count - 1) % count;
      return overdue;
    }
    // Nothing to send now: due again at its pace.
    m_silent[units[std::size_t(overdue)].handle].endedUs = nowUs;
    m_turn = first;
  }
  std::vector<std::size_t> awaited, resting;
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t i = (first + k) % count;
    const PollUnit& unit = units[i];
    if (!unit.addressable) continue;
    if (Rests(unit.handle, nowUs)) {
      resting.push_back(i);
      continue;
    }
    auto aside = m_aside.find(unit.handle);
    // A device given a new ID meanwhile drops the request that names the old one, as it drops
    // its queue.
    if (aside != m_aside.end() && aside->second.deviceId != unit.deviceId) {
      m_aside.erase(aside);
      aside = m_aside.end();
    }
    if (aside != m_aside.end()) {
      if (source.WaitsForLateAnswers(aside->second.request)) continue;
      m_turn = i;
      record.noRetry = false;
      record = aside->second.request;
      m_aside.erase(aside);
      record.maxSilentSends = SilentSendsFor(unit, nowUs);
      return std::int32_t(i);
    }
    if (source.AwaitsLateAnswerFrom(unit.handle)) {
      awaited.push_back(i);
      continue;
    }
    if (Take(unit, i, source, record, nowUs)) return std::int32_t(i);
  }
  for (std::size_t i : awaited) {
    if (Take(units[i], i, source, record, nowUs)) return std::int32_t(i);
  }
  // A rest leaves the line to the units that answer. On a silent line none does, and the line
  // does not idle: the units resting are asked, the one whose rest ends first first.
  if (m_silentStreak >= kSilentLineStreak) {
    std::stable_sort(resting.begin(), resting.end(), [&](std::size_t a, std::size_t b) {
      return m_silent.at(units[a].handle).untilUs < m_silent.at(units[b].handle).untilUs;
    });
    for (std::size_t i : resting) {
      if (!m_aside.count(units[i].handle) && Take(units[i], i, source, record, nowUs)) return std::int32_t(i);
    }
  }
  m_turn = first;
  return -1;
}

std::int32_t CPollPlan::OverdueAtItsPace(const std::vector<PollUnit>& units, IPollSource& source,
                                         std::int64_t nowUs) {
  std::int32_t overdue = -1;
  // On a line silent since before the last pace every unit counting down is asked once in turn,
  // quickly: no turn round is long. Units answering late keep it alive.
  if (m_silentStreak >= kSilentLineStreak && nowUs - m_lastAnswerUs >= kCountdownPaceUs) return overdue;
  std::int64_t dueUs = nowUs;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const PollUnit& unit = units[i];
    if (!unit.addressable || unit.level == 0 || AnswersLate(unit.handle, nowUs) || m_aside.count(unit.handle) != 0)
      continue;
    const auto silence = m_silent.find(unit.handle);
    if (silence == m_silent.end()) continue;
    const std::int64_t due = std::max(silence->second.untilUs, silence->second.endedUs + kCountdownPaceUs);
    if (due > dueUs || source.AwaitsLateAnswerFrom(unit.handle)) continue;
    overdue = std::int32_t(i);
    dueUs = due;
  }
  return overdue;
}

std::vector<std::pair<std::uint64_t, CControlMessage>> CPollPlan::TakeRequestsAside() {
  std::vector<std::pair<std::uint64_t, CControlMessage>> out;
  out.reserve(m_aside.size());
  for (auto& [handle, aside] : m_aside) out.emplace_back(handle, aside.request);
  m_aside.clear();
  return out;
}

bool CPollPlan::Take(const PollUnit& unit, std::size_t index, IPollSource& source, CControlMessage& record,
                     std::int64_t nowUs) {
  m_turn = index;
  const int asks = CountsDown(unit) ? kCountdownAsks : 1;
  bool taken = false;
  for (int ask = 0; ask < asks && !taken; ++ask) {
    record.noRetry = false;
    taken = source.TakeRequest(index, record);
  }
  if (!taken) return false;
  if (source.WaitsForLateAnswers(record)) {
    m_aside.insert_or_assign(unit.handle, Aside{record, unit.deviceId});
    return false;
  }
  record.maxSilentSends = SilentSendsFor(unit, nowUs);
  return true;
}

bool CPollPlan::HeardNothingLast(std::uint64_t unit) const {
  const auto silence = m_silent.find(unit);
  return silence != m_silent.end() && silence->second.heardNothing;
}

bool CPollPlan::AnswersLate(std::uint64_t unit, std::int64_t nowUs) const {
  const auto seen = m_lateSeenUs.find(unit);
  return seen != m_lateSeenUs.end() && nowUs - seen->second < kLateAnswerMemoryUs;
}

bool CPollPlan::CountsDown(const PollUnit& unit) const {
  return unit.level > 0 && (HeardNothingLast(unit.handle) || m_silentStreak >= kSilentLineStreak);
}

std::uint32_t CPollPlan::SilentSendsFor(const PollUnit& unit, std::int64_t nowUs) const {
  // A unit offline is probed with one resend: it stays offline only while it answers nothing, and
  // one that answers after a read time-out is heard on the resend.
  if (unit.level == 0) return HeardNothingLast(unit.handle) ? kOfflineProbeSends : 0;
  // Counting down: most likely switched off, or the whole line is; asked once, so that it shows
  // offline within seconds, unless its answers are known to come late.
  if (CountsDown(unit)) return AnswersLate(unit.handle, nowUs) ? 2 : 1;
  return 0;
}

void CPollPlan::OnOutcome(const PollUnit& unit, bool answered, bool heardNothing, std::int64_t nowUs,
                          std::int64_t silentSendUs) {
  // A unit known to answer late hears nothing in its own reads while the line lives: its silence
  // tells nothing of the line's.
  if (!heardNothing) m_silentStreak = 0;
  else if (answered || !AnswersLate(unit.handle, nowUs)) ++m_silentStreak;
  if (answered) {
    m_silent.erase(unit.handle);
    m_lastAnswerUs = nowUs;
    return;
  }
  const std::int64_t longest = std::int64_t(kMaxSilentRestMs) * 1000;
  // A unit not heard of for long (removed, readdressed, ignored) no longer counts as silent.
  std::erase_if(m_silent, [&](const auto& entry) { return entry.second.untilUs + 2 * longest < nowUs; });
  Silence& silence = m_silent[unit.handle];
  silence.costUs = nowUs - m_startUs;
  silence.heardNothing = heardNothing;
  silence.endedUs = silence.untilUs = nowUs;
  if (heardNothing) {
    // Every send met silence: the next request costs a read time-out for each of its sends.
    const std::uint32_t next = SilentSendsFor(unit, nowUs);
    silence.costUs = silence.costUs / m_sends * (next == 0 ? CControlMessage::kMaxSends : next);
  } else if (unit.clash) {
    // Answers garbled by another unit's come at once: counted as silence, so that the unit is
    // asked no more often than an absent one.
    silence.costUs = std::max(silence.costUs, silentSendUs * m_sends);
  }
  // A connected unit that missed a reply is asked again at its next turn, or sooner at its pace:
  // one lost reply must not freeze its meters and hold back its changes.
  if (unit.connected) return;
  std::int64_t silentCost = 0;
  for (const auto& entry : m_silent) silentCost += entry.second.costUs;
  // Until the silent units' next unanswered requests are that share of the time since this one's
  // ended, counting those still to come. With no unit answering there is nobody to leave the
  // line to: they only take turns.
  const bool othersAnswer = nowUs - m_lastAnswerUs < longest;
  const std::int64_t share = unit.level > 0 ? kCountdownSharePercent : kSilentSharePercent;
  const std::int64_t wait = (othersAnswer ? silentCost * 100 / share : silentCost) - silence.costUs;
  silence.untilUs = nowUs + std::clamp<std::int64_t>(wait, 0, longest);
}

void CPollPlan::OnLateAnswer(std::uint64_t unit, std::int64_t nowUs) {
  m_silent.erase(unit);
  m_lateSeenUs[unit] = nowUs;
  m_silentStreak = 0;
  m_lastAnswerUs = nowUs;
}

bool CPollPlan::Rests(std::uint64_t unit, std::int64_t nowUs) const {
  const auto silence = m_silent.find(unit);
  return silence != m_silent.end() && nowUs < silence->second.untilUs;
}

void CPollPlan::ForgetUnitsGone(const std::vector<PollUnit>& units) {
  auto gone = [&](const auto& entry) {
    return std::none_of(units.begin(), units.end(), [&](const PollUnit& u) { return u.handle == entry.first; });
  };
  std::erase_if(m_aside, gone);
  std::erase_if(m_silent, gone);
  std::erase_if(m_lateSeenUs, gone);
}
