#pragma once

namespace rightsmith::toolkit {

/// Asks the application to end. A running main loop ends (with every nested
/// loop inside it); asked before the loop runs (a refused logon while the
/// main form loads), rightsmith::toolkit::Application::run() returns at once. The request
/// is sticky: it stays until clearTermination().
void terminateApplication();
bool terminationRequested();
/// Forgets the request (a new application object starts without one).
void clearTermination();

} // namespace rightsmith::toolkit
