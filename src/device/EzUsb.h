#pragma once
// Card driver access (one open/close per operation) and the card search.
#include "device/BenchSession.h"
#include "device/UsbCardInfo.h"
#include <QString>
#include <array>
#include <cstdint>
#include <optional>


// The windows' names for their session's card search and card in use.
namespace EzUsb {
inline std::array<UsbCardInfo, 4>& UsbCards = ProgramSession().cards;
inline int16_t& UsbCardCount = ProgramSession().cardCount;
inline UsbCardInfo& SelectedUsbCard = ProgramSession().card;
inline int16_t& SelectedUsbCardIndex = ProgramSession().cardIndex;
} // namespace EzUsb

int32_t OpenUsbDriver(const QString& name);
void CloseUsbDriver(int32_t handle);
int32_t GetPipeInfo(int32_t handle, uint8_t* buffer356);
int32_t GetPipeMaxPacket(int32_t handle, int16_t pipe);
QString GetStringDescriptor(int32_t handle, int index);
// length: bytes to move, overwritten with the bytes moved. 1 ok, 0 failure, -2 no handle.
int32_t BulkTransfer(int32_t handle, int16_t pipe, uint8_t* buffer, int32_t& length);

// The card search into session.cards; problems are reported through the session. With `onlySlot`
// just that slot is looked at, without a new look at the bus, so that sessions on other cards can
// go on with their transfers meanwhile.
void FindUsbCards(BenchSession& session, std::optional<int> onlySlot = std::nullopt);
void GetBoardInfo(BenchSession& session, int32_t handle, UsbCardInfo& card);
// Searches and makes the first card found the session's card.
void SelectFirstUsbCard(BenchSession& session);
// The same on the windows' session.
inline void FindUsbCards() { FindUsbCards(ProgramSession()); }
inline void SelectFirstUsbCard() { SelectFirstUsbCard(ProgramSession()); }
