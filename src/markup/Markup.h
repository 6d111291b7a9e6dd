#pragma once

// The markup label's tokenizer and layout (filled in with the templates page).
