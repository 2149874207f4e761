// Replaced by the module's real sources.
namespace orvane {}
