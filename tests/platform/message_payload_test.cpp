#include "platform/message_payload.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>

#include "platform/event.h"
#include "platform/message_map.h"
#include "platform/target_registry.h"
#include "platform/worker_thread.h"
#include "test_support.h"

// A small message family of the tests' own: one record message, one with
// plain integers, and one number left out of the table.
constexpr platform::MessageId kTextMessage = 0x8200;
constexpr platform::MessageId kCountMessage = 0x8201;
constexpr platform::MessageId kUnlistedMessage = 0x8202;

template <>
struct platform::MessagePayload<kTextMessage> : platform::Carries<std::string> {};
template <>
struct platform::MessagePayload<kCountMessage> : platform::CarriesNoRecord {};

namespace platform {
namespace {

using testing::CountedPayload;

template <MessageId M, class T>
concept CanMakeWith = requires(std::unique_ptr<T> record) { Message::Make<M>(std::move(record)); };
template <MessageId M>
concept CanMakePlain = requires { Message::Make<M>(WParam{1}, LParam{2}); };
template <MessageId M>
concept CanTake = requires(Message& m) { m.template Take<M>(); };
template <MessageId M, class T>
concept CanPostToThread = requires(std::unique_ptr<T> record) { PostThreadMessage<M>(ThreadId{}, std::move(record)); };
template <MessageId M, class T>
concept CanPostToWindow = requires(std::unique_ptr<T> record) { PostWindowMessage<M>(WindowHandle{}, std::move(record)); };
template <MessageId M, class F>
concept CanMap = requires(MessageMap& map, F handler) { map.On<M>(handler); };

// The table decides what each number carries.
static_assert(std::is_same_v<PayloadOf<kTextMessage>, std::string>);
static_assert(std::is_same_v<PayloadOf<kCountMessage>, NoPayload>);
static_assert(RecordMessage<kTextMessage> && !PlainMessage<kTextMessage>);
static_assert(PlainMessage<kCountMessage> && !RecordMessage<kCountMessage>);
static_assert(PlainMessage<kQuitMessage>);
static_assert(!HasPayloadEntry<kUnlistedMessage>);

// Posting: only the number's own record type, and integers only where there is no record.
static_assert(CanMakeWith<kTextMessage, std::string>);
static_assert(!CanMakeWith<kTextMessage, CountedPayload>);
static_assert(!CanMakeWith<kCountMessage, std::string>);
static_assert(!CanMakePlain<kTextMessage>);
static_assert(CanMakePlain<kCountMessage>);
static_assert(!CanMakePlain<kUnlistedMessage>);
static_assert(CanPostToThread<kTextMessage, std::string> && !CanPostToThread<kTextMessage, CountedPayload>);
static_assert(CanPostToWindow<kTextMessage, std::string> && !CanPostToWindow<kTextMessage, CountedPayload>);

// Taking: a record message gives its own type back; other numbers have nothing to take.
static_assert(std::is_same_v<decltype(std::declval<Message&>().Take<kTextMessage>()), std::unique_ptr<std::string>>);
static_assert(CanTake<kTextMessage>);
static_assert(!CanTake<kCountMessage>);
static_assert(!CanTake<kUnlistedMessage>);

// Message maps: a record handler takes the record of its own type only.
using TextHandler = void (*)(std::unique_ptr<std::string>);
using WrongHandler = void (*)(std::unique_ptr<CountedPayload>);
using MessageHandler = void (*)(Message&);
using BareHandler = void (*)();
static_assert(CanMap<kTextMessage, TextHandler>);
static_assert(CanMap<kTextMessage, MessageHandler>);
static_assert(CanMap<kCountMessage, MessageHandler>);
static_assert(CanMap<kCountMessage, BareHandler>);
static_assert(!CanMap<kUnlistedMessage, MessageHandler>);

TEST(MessagePayload, ARecordPostedThroughTheTableArrivesAsItsType) {
  RegisteredQueue receiver;
  ASSERT_TRUE(PostThreadMessage<kTextMessage>(receiver.handle(), std::make_unique<std::string>("flash"), 7));
  ASSERT_TRUE(PostThreadMessage<kCountMessage>(receiver.handle(), 3, 4));

  auto text = receiver.queue().Get(std::chrono::seconds(10));
  ASSERT_TRUE(text);
  EXPECT_EQ(text->number, kTextMessage);
  EXPECT_EQ(text->lParam, 7);
  std::unique_ptr<std::string> record = text->Take<kTextMessage>();
  ASSERT_TRUE(record);
  EXPECT_EQ(*record, "flash");
  EXPECT_EQ(text->Take<kTextMessage>(), nullptr);  // taken once only

  auto count = receiver.queue().Get(std::chrono::seconds(10));
  ASSERT_TRUE(count);
  EXPECT_EQ(count->number, kCountMessage);
  EXPECT_EQ(count->wParam, 3u);
  EXPECT_EQ(count->lParam, 4);
  EXPECT_FALSE(count->HasPayload());
}

TEST(MessagePayload, TakeForAnotherNumberGivesNothingAndKeepsTheRecord) {
  Message m = Message::Make<kTextMessage>(std::make_unique<std::string>("kept"));
  m.number = kCountMessage;
  EXPECT_EQ(m.Take<kTextMessage>(), nullptr);
  EXPECT_TRUE(m.HasPayload());
}

TEST(MessagePayload, AMapHandsEachHandlerItsOwnRecord) {
  MessageMap map;
  std::string seenText;
  bool textWasNull = false;
  WParam seenCount = 0;
  map.On<kTextMessage>([&](std::unique_ptr<std::string> text, Message& m) {
    textWasNull = !text;
    if (text) seenText = *text + "/" + std::to_string(m.lParam);
  });
  map.On<kCountMessage>([&](Message& m) { seenCount = m.wParam; });

  Message text = Message::Make<kTextMessage>(std::make_unique<std::string>("erase"), 5);
  ASSERT_TRUE(map.Dispatch(text));
  EXPECT_EQ(seenText, "erase/5");
  EXPECT_FALSE(text.HasPayload());

  Message empty(kTextMessage, 0, 0);  // a record message that came without its record
  ASSERT_TRUE(map.Dispatch(empty));
  EXPECT_TRUE(textWasNull);

  Message count = Message::Make<kCountMessage>(9);
  ASSERT_TRUE(map.Dispatch(count));
  EXPECT_EQ(seenCount, 9u);
}

// A worker thread whose map reads the table, fed through the typed posts.
class TextThread : public WorkerThread {
 public:
  TextThread() {
    Map().On<kTextMessage>([this](std::unique_ptr<std::string> text) {
      if (text) received = *text;
      arrived.Set();
    });
  }
  ~TextThread() override {
    PostQuit();
    Join();
  }
  std::string received;
  Event arrived{Event::Reset::Manual};
};

TEST(MessagePayload, AWorkerThreadReceivesATypedPost) {
  TextThread thread;
  ASSERT_TRUE(thread.Create());
  ASSERT_TRUE(thread.Post<kTextMessage>(std::make_unique<std::string>("reverse flash")));
  ASSERT_TRUE(thread.arrived.Wait(std::chrono::seconds(10)));
  EXPECT_EQ(thread.received, "reverse flash");
}

}  // namespace
}  // namespace platform
