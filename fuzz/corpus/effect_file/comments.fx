/* { */ uniform mat4 m; // }
struct S { float a; };
technique T { pass P { VertexShader = V; PixelShader = F; AlphaBlendEnable = TRUE; SrcBlend = 5; } }
vertex V { }
fragment F { }
